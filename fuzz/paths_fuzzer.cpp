// The first line of the bytes is a list of wildcard alternatives, the rest a
// name matched against it; both are then taken apart and put together again
// by the path helpers.
#include "fuzz_support.h"

#include "foundation/path_expansion.h"
#include "foundation/paths.h"

#include <cstring>

namespace {

void TakeApart(const CVxString& path) {
    CVxString drive, folder, baseName, extension;
    SplitPath(path, &drive, &folder, &baseName, &extension);
    CVxString joined;
    MakePath(joined, drive, folder, baseName, extension);
    SplitPath(path, nullptr, &folder, nullptr, nullptr);
    FileNameOf(path);
    ParentFolder(FolderOf(path));
    ParentFolder(path);
    IsAbsolutePath(path);
    CVxString expanded = path;
    ExpandPath(expanded, true);
    expanded = path;
    ExpandPath(expanded, false);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    const void* lineEnd = std::memchr(text, '\n', size);
    const size_t listLength = lineEnd ? static_cast<const char*>(lineEnd) - text : size;
    const CVxString list = fuzz::TextOf(data, listLength);
    const CVxString name =
        lineEnd ? fuzz::TextOf(data + listLength + 1, size - listLength - 1) : CVxString();
    name.MatchesWildcards(list);
    list.MatchesWildcards(name);
    TakeApart(list);
    TakeApart(name);
    return 0;
}
