#include "platform/environment.h"

#include "platform/ascii.h"
#include "platform/path_mapping.h"
#include "platform/shared_object.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace platform {

namespace {

// Variable names ignore letter case on the framework's home platform; an exact match wins.
const char* FindVariableNoCase(const std::string& name) {
    for (char** entry = environ; entry && *entry; ++entry) {
        const char* text = *entry;
        const char* equals = std::strchr(text, '=');
        if (equals &&
            ascii::EqualsNoCase(std::string_view(text, static_cast<size_t>(equals - text)), name))
            return equals + 1;
    }
    return nullptr;
}

} // namespace

bool GetEnvironmentVariable(const std::string& name, std::string& value) {
    value.clear();
    if (name.empty() || name.find('=') != std::string::npos)
        return false;
    const char* text = std::getenv(name.c_str());
    if (!text)
        text = FindVariableNoCase(name);
    if (!text)
        return false;
    value = text;
    return true;
}

void RemoveEnvironmentVariables(std::string_view prefix) {
    // Names first: unsetenv moves the entries that follow the one it removes.
    std::vector<std::string> names;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string_view text(*entry);
        const size_t equals = text.find('=');
        if (equals != std::string_view::npos && text.substr(0, equals).starts_with(prefix))
            names.emplace_back(text.substr(0, equals));
    }
    for (const std::string& name : names)
        ::unsetenv(name.c_str());
}

std::string ProgramFilePath() {
    std::string buffer(4096, '\0');
    ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<size_t>(length) >= buffer.size())
        return std::string();
    buffer.resize(static_cast<size_t>(length));
    return ToDrivePath(buffer);
}

std::string ObjectFilePath(const void* address) {
    const std::string path = ObjectSystemPath(address);
    return path.empty() ? path : ToDrivePath(path);
}

std::string WorkingFolder() {
    char folder[PATH_MAX];
    if (!::getcwd(folder, sizeof folder))
        return std::string();
    std::string drivePath = ToDrivePath(folder);
    if (drivePath.back() != '\\')
        drivePath += '\\';
    return drivePath;
}

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

void ResetInForkedChild(void (*reset)()) {
    ::pthread_atfork(nullptr, nullptr, reset);
}

} // namespace platform
