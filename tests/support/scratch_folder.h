#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdlib.h>
#include <string>
#include <vector>

// The bytes of a whole file; empty if it cannot be read.
inline std::string FileBytes(const std::string& path) {
    std::stringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

// A fresh folder of its own, removed with everything in it afterwards: for one
// test, for the benchmarks of one program, or for a fuzz target's whole run.
// A folder or file that cannot be made ends the program, since nothing that
// runs in it would mean anything.
class ScratchFolder {
public:
    // Made inside `parent`; fuzz targets pass /dev/shm to keep their files in memory.
    // (The name is formed in a buffer: GCC 12 at -O3 mistakes a string concatenation
    // here for an overlapping copy in the tests that inline it.)
    explicit ScratchFolder(const char* parent = "/tmp") {
        char pattern[256];
        std::snprintf(pattern, sizeof pattern, "%s/gradeshift_XXXXXX", parent);
        if (!::mkdtemp(pattern))
            std::abort(); // also for a parent too long to leave the Xs in place
        m_path = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder (without a trailing slash) or an entry inside it.
    std::string Posix(const std::string& relative = "") const {
        return relative.empty() ? m_path : m_path + "/" + relative;
    }
    // The folder (with a trailing backslash) or an entry inside it, in drive form.
    std::string Drive(const std::string& relative = "") const {
        std::string path = "Z:" + m_path + "/" + relative;
        std::replace(path.begin(), path.end(), '/', '\\');
        return path;
    }
    // Writes a file, creating the folders above it; returns its path in drive form.
    std::string Write(const std::string& relative, const std::string& bytes) const {
        const std::filesystem::path path = Posix(relative);
        std::error_code ignored;
        std::filesystem::create_directories(path.parent_path(), ignored);
        std::ofstream file(path, std::ios::binary);
        if (!file.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush())
            std::abort();
        return Drive(relative);
    }
    // Creates a folder; returns its path in drive form.
    std::string Folder(const std::string& relative) const {
        std::filesystem::create_directories(Posix(relative));
        return Drive(relative);
    }
    std::string Read(const std::string& relative) const { return FileBytes(Posix(relative)); }
    // The names inside a folder, sorted.
    std::vector<std::string> Names(const std::string& relative = "") const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(Posix(relative)))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string m_path;
};
