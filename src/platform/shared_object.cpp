#include "platform/shared_object.h"

#include <climits>
#include <cstdlib>
#include <dlfcn.h>

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

std::string ObjectFolderSystemPath(const void* address) {
    Dl_info info{};
    if (::dladdr(address, &info) == 0 || !info.dli_fname)
        return std::string();
    char resolved[PATH_MAX];
    if (!::realpath(info.dli_fname, resolved))
        return std::string();
    std::string folder(resolved);
    folder.resize(folder.rfind('/') + 1);
    return folder;
}

} // namespace platform
