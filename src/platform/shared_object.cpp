#include "platform/shared_object.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

namespace platform {

void* LoadSharedObject(const std::string& path, std::string& problem) {
    void* object = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!object) {
        const char* reason = ::dlerror();
        problem = reason ? reason : path + ": cannot be loaded";
    }
    return object;
}

void* SharedObjectSymbol(void* object, const char* name) {
    return object ? ::dlsym(object, name) : nullptr;
}

std::string ObjectSystemPath(const void* address) {
    Dl_info info{};
    if (::dladdr(address, &info) == 0 || !info.dli_fname)
        return std::string();
    // The program itself is named as it was started: a bare name when the
    // shell found it on PATH, which no folder resolves; the system knows its file.
    if (!std::strchr(info.dli_fname, '/')) {
        char program[PATH_MAX];
        const ssize_t length = ::readlink("/proc/self/exe", program, sizeof program - 1);
        if (length <= 0)
            return std::string();
        return std::string(program, static_cast<size_t>(length));
    }
    // A module loaded through a relative search path is named relative to the working folder.
    char resolved[PATH_MAX];
    if (!::realpath(info.dli_fname, resolved))
        return std::string();
    return resolved;
}

std::string ObjectFolderSystemPath(const void* address) {
    std::string folder = ObjectSystemPath(address);
    if (folder.empty())
        return folder;
    folder.resize(folder.rfind('/') + 1);
    return folder;
}

} // namespace platform
