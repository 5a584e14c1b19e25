#include "platform/path_mapping.h"

#include "platform/access_gate.h"
#include "platform/ascii.h"
#include "platform/directory_search.h"

#include <sys/stat.h>

namespace platform {

namespace {

bool Exists(const std::string& posixPath) {
    struct stat info;
    return ::lstat(posixPath.c_str(), &info) == 0;
}

// The name in the folder's listing that equals the element without regard to case.
bool FindNameNoCase(const std::string& folder, std::string_view element, std::string& name) {
    std::vector<DirectoryEntry> entries;
    if (!ListPosixFolder(folder.empty() ? std::string(".") : folder, entries))
        return false;
    for (const DirectoryEntry& entry : entries) {
        if (ascii::EqualsNoCase(entry.name, element)) {
            name = entry.name;
            return true;
        }
    }
    return false;
}

} // namespace

bool ToPosixPath(std::string_view path, std::string& posixPath) {
    std::string text(path);
    for (char& c : text)
        if (c == '/')
            c = '\\';
    if (text.size() >= 2 && text[0] == '\\' && text[1] == '\\')
        return false;
    if (text.size() >= 2 && text[1] == ':') {
        if (ascii::Upper(text[0]) != 'Z')
            return false;
        text.erase(0, 2);
    }
    for (char& c : text)
        if (c == '\\')
            c = '/';
    posixPath = text.empty() ? std::string(".") : text;
    return true;
}

bool ResolvePath(std::string_view path, std::string& posixPath, bool allowMissingLeaf) {
    // Whatever resolves a path with a missing last element means to write it.
    PassAccessGate(path, allowMissingLeaf ? EAccess::eWrite : EAccess::eRead);
    std::string written;
    if (!ToPosixPath(path, written))
        return false;
    if (Exists(written)) {
        posixPath = written;
        return true;
    }
    std::string resolved = written[0] == '/' ? "/" : "";
    size_t position = 0;
    while (position < written.size()) {
        size_t end = written.find('/', position);
        if (end == std::string::npos)
            end = written.size();
        std::string_view element(written.data() + position, end - position);
        position = end + 1;
        if (element.empty())
            continue;
        bool last = written.find_first_not_of('/', end) == std::string::npos;
        std::string candidate = resolved;
        if (!candidate.empty() && candidate.back() != '/')
            candidate += '/';
        std::string name(element);
        if (element != "." && element != ".." && !Exists(candidate + name) &&
            !FindNameNoCase(resolved, element, name) && !(last && allowMissingLeaf))
            return false;
        resolved = candidate + name;
    }
    posixPath = resolved.empty() ? std::string(".") : resolved;
    return true;
}

std::string ToDrivePath(std::string_view posixPath) {
    std::string text = "Z:";
    text.append(posixPath);
    for (char& c : text)
        if (c == '/')
            c = '\\';
    return text;
}

} // namespace platform
