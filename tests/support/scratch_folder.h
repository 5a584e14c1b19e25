#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdlib.h>
#include <string>
#include <vector>

// A fresh folder below /tmp for one test, removed with everything in it afterwards.
class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/gradeshift_test_XXXXXX";
        m_path = ::mkdtemp(pattern);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::string& Posix() const { return m_path; }
    // The folder (with a trailing backslash) or an entry inside it, in drive form.
    std::string Drive(const std::string& relative = "") const {
        std::string path = "Z:" + m_path + "/" + relative;
        std::replace(path.begin(), path.end(), '/', '\\');
        return path;
    }
    // Writes a file, creating the folders above it; returns its path in drive form.
    std::string Write(const std::string& relative, const std::string& bytes) const {
        const std::filesystem::path path = m_path + "/" + relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        return Drive(relative);
    }
    // Creates a folder; returns its path in drive form.
    std::string Folder(const std::string& relative) const {
        std::filesystem::create_directories(m_path + "/" + relative);
        return Drive(relative);
    }
    std::string Read(const std::string& relative) const {
        std::stringstream text;
        text << std::ifstream(m_path + "/" + relative, std::ios::binary).rdbuf();
        return text.str();
    }
    // The names inside a folder, sorted.
    std::vector<std::string> Names(const std::string& relative = "") const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_path + "/" + relative))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string m_path;
};
