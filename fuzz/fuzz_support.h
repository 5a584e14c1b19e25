#pragma once

#include "foundation/vx_string.h"

#include "../tests/support/scratch_folder.h"
#include "../tests/support/system_luts.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

// What the fuzz targets share: a scratch folder for the files a reader must
// open by path, and conversions of the fuzzer's bytes.
namespace fuzz {

// The scratch folder of this process, in memory when /dev/shm exists.
inline const ::ScratchFolder& Scratch() {
    static const ::ScratchFolder folder(std::filesystem::is_directory("/dev/shm") ? "/dev/shm"
                                                                                  : "/tmp");
    return folder;
}

// Writes the bytes to a file in the scratch folder; returns its path in drive form.
inline CVxString WriteScratchFile(const char* name, const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    return CVxString(Scratch().Write(name, bytes).c_str());
}

// The bytes as a framework text; it ends at the first NUL, as a text file read does.
inline CVxString TextOf(const uint8_t* data, size_t size) {
    return CVxString(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size));
}

// LUT reading for the targets over the machine's files.
inline SystemLuts& Luts() {
    static SystemLuts luts;
    return luts;
}

// A few small LUT files and shader packages in the scratch folder. The LUT
// folder is indexed as the LUT folder of Luts(), so that the bare names the
// seeds use ("identity.cube", ...) find these files. Returns the shader folder
// (drive form) for a registry of the test packages "Test.Lut" and "Test.NoOp".
inline CVxString InstallLutsAndShaders() {
    static const char kIdentity[] = "0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n";
    static const char kRotate[] = "0 0 0\n0 1 0\n0 0 1\n0 1 1\n1 0 0\n1 1 0\n1 0 1\n1 1 1\n";
    const ::ScratchFolder& scratch = Scratch();
    scratch.Write("luts/identity.cube", std::string("LUT_3D_SIZE 2\n") + kIdentity);
    scratch.Write("luts/rotate.cube", std::string("LUT_3D_SIZE 2\n") + kRotate);
    scratch.Write("luts/ramp.cube", "LUT_1D_SIZE 3\n0 0 0\n0.25 0.5 0.75\n1 1 1\n");
    scratch.Write("luts/empty.cube", "LUT_3D_SIZE 0\n");
    scratch.Write("luts/junk.bin", "not a table\n");
    scratch.Write("shaders/Test/lut.vxtp",
                  "<shader name=\"Test.Lut\">\n"
                  "<texturelist name=\"Lut\" unit=\"1\" extern=\"1\" default=\"\"/>\n"
                  "</shader>\nVEXLAN.LUT.3D");
    scratch.Write("shaders/Test/noop.vxtp", "<shader name=\"Test.NoOp\"></shader>\nVEXLAN.NoOp");
    const CVxString folders[1] = {CVxString(scratch.Drive("luts/").c_str())};
    Luts().folders.Build(Luts().files, folders, 1);
    return CVxString(scratch.Drive("shaders/").c_str());
}

} // namespace fuzz
