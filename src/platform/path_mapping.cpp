#include "platform/path_mapping.h"

#include "platform/ascii.h"
#include "platform/folder_names.h"
#include "platform/posix_helpers.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

bool Exists(const std::string& posixPath) {
    struct stat info;
    return ::lstat(posixPath.c_str(), &info) == 0;
}

bool HasLetter(std::string_view text) {
    return std::any_of(text.begin(), text.end(), ascii::IsLetter);
}

constexpr int kMostLinksFollowed = 40;

// Follows symbolic links to the name a write through `path` lands on, which need
// not exist. False for a loop or a link that cannot be read.
bool FollowLinks(std::string& path) {
    for (int followed = 0; followed < kMostLinksFollowed; ++followed) {
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return true;
        char target[PATH_MAX];
        const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
        if (length <= 0 || length == static_cast<ssize_t>(sizeof target))
            return false;
        std::string next(target, static_cast<size_t>(length));
        path = next[0] == '/' ? next : FolderOfPosixPath(path) + next;
    }
    return false;
}

std::string AbsolutePosixPath(const std::string& path) {
    if (!path.empty() && path[0] == '/')
        return path;
    char working[PATH_MAX];
    if (!::getcwd(working, sizeof working))
        return path;
    return std::string(working) + "/" + path;
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
        // A name without letters has no other case to look for (the wildcard
        // that probes a folder's own identity, say).
        if (element != "." && element != ".." && !Exists(candidate + name) &&
            !(HasLetter(element) && FindNameNoCase(resolved, element, name)) &&
            !(last && allowMissingLeaf))
            return false;
        resolved = candidate + name;
    }
    posixPath = resolved.empty() ? std::string(".") : resolved;
    return true;
}

bool ResolveWriteTarget(std::string_view path, std::string& posixTarget) {
    return ResolvePath(path, posixTarget, true) && FollowLinks(posixTarget);
}

std::string FileIdentity(std::string_view path) {
    std::string target;
    if (!ResolveWriteTarget(path, target) && !ToPosixPath(path, target))
        target.assign(path);
    const std::string folder = FolderOfPosixPath(target);
    std::string identity;
    char real[PATH_MAX];
    if (::realpath(folder.empty() ? "." : folder.c_str(), real))
        identity = std::string(real) + "/" + target.substr(folder.size());
    else
        identity = AbsolutePosixPath(target);
    for (char& c : identity)
        c = ascii::Upper(c);
    return identity;
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
