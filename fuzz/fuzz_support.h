#pragma once

#include "foundation/settings.h"
#include "foundation/vx_string.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

// What the fuzz targets share: a scratch folder for the files a reader must
// open by path, and conversions of the fuzzer's bytes.
namespace fuzz {

// A folder of its own for this process, in memory when /dev/shm exists,
// removed with everything in it at exit.
class ScratchFolderOwner {
public:
    ScratchFolderOwner() {
        m_path = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        m_path += "/gradeshift_fuzz_XXXXXX";
        if (!::mkdtemp(m_path.data()))
            std::abort();
    }
    ~ScratchFolderOwner() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

inline const std::string& ScratchFolder() {
    static const ScratchFolderOwner owner;
    return owner.Path();
}

// A POSIX path in the framework's drive form.
inline CVxString DrivePath(const std::string& posixPath) {
    std::string path = "Z:" + posixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return CVxString(path.c_str());
}

// Writes the bytes to a file in the scratch folder; returns its path in drive form.
inline CVxString WriteScratchFile(const char* name, const uint8_t* data, size_t size) {
    const std::string path = ScratchFolder() + "/" + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || (size != 0 && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0)
        std::abort();
    return DrivePath(path);
}

inline CVxString WriteScratchFile(const char* name, const std::string& bytes) {
    return WriteScratchFile(name, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// The bytes as a framework text; it ends at the first NUL, as a text file read does.
inline CVxString TextOf(const uint8_t* data, size_t size) {
    return CVxString(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size));
}

} // namespace fuzz

namespace fuzz {

// A few small LUT files and shader packages in the scratch folder. The LUT
// folder becomes the first LUT folder of the user settings before anything
// builds the folder index, so that the bare names the seeds use
// ("identity.cube", ...) find these files. Returns the shader folder (drive
// form) for a registry of the test packages "Test.Lut" and "Test.NoOp".
inline CVxString InstallLutsAndShaders() {
    static const char kIdentity[] = "0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n";
    static const char kRotate[] = "0 0 0\n0 1 0\n0 0 1\n0 1 1\n1 0 0\n1 1 0\n1 0 1\n1 1 1\n";
    const std::string luts = ScratchFolder() + "/luts";
    const std::string shaders = ScratchFolder() + "/shaders/Test";
    std::filesystem::create_directories(luts);
    std::filesystem::create_directories(shaders);
    WriteScratchFile("luts/identity.cube", std::string("LUT_3D_SIZE 2\n") + kIdentity);
    WriteScratchFile("luts/rotate.cube", std::string("LUT_3D_SIZE 2\n") + kRotate);
    WriteScratchFile("luts/ramp.cube", "LUT_1D_SIZE 3\n0 0 0\n0.25 0.5 0.75\n1 1 1\n");
    WriteScratchFile("luts/empty.cube", "LUT_3D_SIZE 0\n");
    WriteScratchFile("luts/junk.bin", "not a table\n");
    WriteScratchFile("shaders/Test/lut.vxtp",
                     "<shader name=\"Test.Lut\">\n"
                     "<texturelist name=\"Lut\" unit=\"1\" extern=\"1\" default=\"\"/>\n"
                     "</shader>\nVEXLAN.LUT.3D");
    WriteScratchFile("shaders/Test/noop.vxtp", "<shader name=\"Test.NoOp\"></shader>\nVEXLAN.NoOp");
    GlobalSettings().UserStore().GetStringRecorded("ColorTransforms.LUTPath1",
                                                   DrivePath(luts + "/"));
    return DrivePath(ScratchFolder() + "/shaders/");
}

} // namespace fuzz
