// Opens the bytes as the resource archive and reads resources of every kind
// by the names the seeds use.
#include "fuzz_support.h"

#include "render/resource_archive.h"

#include <vector>

namespace {

const char* const kNames[] = {
    "BuildInfo.txt", "ProductName.txt", "a", "DejaVuSans", "_notfound", "Logo", ""};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const CVxString path = fuzz::WriteScratchFile("Resources.vxf", data, size);
    const std::unique_ptr<ResourceArchive> archive =
        ResourceArchive::Open(fuzz::Luts().files, path);
    if (!archive)
        return 0;
    for (const char* name : kNames) {
        const CVxString key(name);
        const uint32_t bytes = archive->DataSize(key);
        // A size taken from the file is bounded by the file, which the fuzzer keeps small.
        if (bytes != 0 && bytes <= size) {
            std::vector<uint8_t> buffer(bytes);
            archive->ReadData(key, buffer.data(), bytes);
        }
        archive->Font(key);
        archive->Image(key);
    }
    return 0;
}
