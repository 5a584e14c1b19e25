// Reads the bytes as a look, writes the grading back with a small lattice and
// ramp, and checks that what the writer accepted reads back, and that from
// then on reading and writing again gives the same bytes. (The first write
// may differ from the second: parameters are written to a fixed number of
// places, while the CDL it carries comes from the unrounded values.)
#include "fuzz_support.h"

#include "look/look_writer.h"
#include "look/parsed_look.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t kLatticeSize = 2;
constexpr uint32_t kRampSize = 4;

struct SmallLuts {
    float lattice[kLatticeSize * kLatticeSize * kLatticeSize * 3];
    float ramp[kRampSize * 3];
    SmallLuts() {
        for (uint32_t i = 0; i < kLatticeSize * kLatticeSize * kLatticeSize; ++i)
            for (uint32_t c = 0; c < 3; ++c)
                lattice[i * 3 + c] = float((i >> c) & 1);
        for (uint32_t i = 0; i < kRampSize * 3; ++i)
            ramp[i] = float(i / 3) / float(kRampSize - 1);
    }
};

bool Write(const ParsedLook& look, CVxString& out) {
    static const SmallLuts luts;
    return WriteLookDocument(out, look.grading, look.mask.get(), luts.lattice, kLatticeSize,
                             luts.ramp, kRampSize);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::unique_ptr<ParsedLook> look = ReadLook(fuzz::TextOf(data, size));
    if (!look)
        return 0;
    look->grading.IsPerChannelOnly(false);
    look->grading.IsIdentity();
    CVxString first;
    if (!Write(*look, first))
        return 0;
    const std::unique_ptr<ParsedLook> firstRead = ReadLook(first);
    CVxString second;
    // The writer promised a document that reads back, and it writes what it read.
    if (!firstRead || !Write(*firstRead, second))
        std::abort();
    const std::unique_ptr<ParsedLook> secondRead = ReadLook(second);
    CVxString third;
    if (!secondRead || !Write(*secondRead, third) || third.Length() != second.Length() ||
        std::memcmp(third.Data(), second.Data(), second.Length()) != 0)
        std::abort(); // reading back lost or changed something
    return 0;
}
