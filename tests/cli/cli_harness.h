#pragma once

#include "../support/look_text.h"
#include "../support/scratch_folder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

extern const std::string kBanner;
extern const std::string kUsage;

extern const std::string kWritten;
extern const std::string kShaderMissing;
extern const std::string kLutMissing;
extern const std::string kUpdated;
extern const std::string kNotRendered;
extern const std::string kCannotConvert;
extern const std::string kResampleWarning;
extern const std::string kResamplingStored;
extern const std::string kNotALook;
extern const std::string kIsCubrel;
extern const std::string kOverwriting;
extern const std::string kReadError;
extern const std::string kTryHelp;
// "Resampling LUT..." and its warning.
extern const std::string kResampling;
// Bytes that no LUT reader and no curve-set format takes.
extern const std::string kUnloadable;
// A 2-entry 1D table from 0.1 to 0.7.
extern const std::string kRamp;

// The 10-bit code the Cubrel writer stores for a lattice value.
uint32_t CubrelCode(float value);
// The whole Cubrel file of an n-point lattice whose colour at lattice point
// (r, g, b) the function gives.
std::string
ExpectedCubrel(uint32_t n,
               const std::function<void(uint32_t, uint32_t, uint32_t, float[3])>& colour);

// The words of a line, split at spaces.
std::vector<std::string> Words(const std::string& line);

// A look whose channels affect each other: written as a lattice by every format.
inline const std::string kSaturation =
    BaseLook(Parameter("Gain.X", "0.15") + Parameter("Saturation", "0.5"));

// What the program prints for one input: its name, then the line about it.
inline std::string Block(const std::string& name, const std::string& line) {
    return "\n" + name + ":\n  " + line + "\n";
}

// Whether the shell finds the program.
inline bool HasProgram(const std::string& name) {
    return std::system(("command -v " + name + " > /dev/null 2>&1").c_str()) == 0;
}

// A command line (split at spaces) and all that its run must give; `out` follows the banner.
struct Expected {
    std::string line;
    std::string out;
    std::string err;
    int exitCode;
};

struct RunResult {
    std::string out;
    std::string err;
    int exitCode = -1;
};

// What the program's process is given besides its arguments.
struct ChildSetup {
    // Bytes; 0 for no limit. A write beyond the file size limit fails.
    long fileSizeLimit = 0;
    long addressSpaceLimit = 0;
    // Run as user nobody (needs the superuser; see run_as_nobody.h). The
    // installation becomes readable and the working folder writable for it.
    bool asNobody = false;
    // Standard error is a pseudo-terminal instead of a pipe.
    bool errorOnTerminal = false;
    // Variables set in its environment (name, value) besides those of the test.
    std::vector<std::pair<std::string, std::string>> environment = {};
};

// A started program: its process and the read end of its output.
struct RunningProgram {
    pid_t pid = -1;
    int output = -1;
    int error = -1;
};

// A throw-away installation: bin/gradeshift, resources/Resources.vxf, OpenColorIO's
// module in lib/gradeshift/ where the build has one, and a working folder, all
// under one temporary folder removed afterwards.
class CliTest : public ::testing::Test {
protected:
    void SetUp() override;

    // Runs the program in the working folder with every signal at its default
    // action. A run that hangs is ended by SIGALRM after half a minute.
    RunResult Run(const std::vector<std::string>& args, const ChildSetup& setup = {}) const {
        return Finish(Start(args, setup));
    }
    RunningProgram Start(const std::vector<std::string>& args, const ChildSetup& setup = {}) const;
    // Reads the output of a started program until it ends, then its error output.
    RunResult Finish(const RunningProgram& program) const;
    void ExpectRuns(const std::vector<Expected>& cases, const ChildSetup& setup = {}) const;

    // Paths relative to the working folder.
    void WriteFile(const std::string& name, const std::string& bytes) const {
        m_scratch.Write("work/" + name, bytes);
    }
    std::string ReadFile(const std::string& name) const { return m_scratch.Read("work/" + name); }
    void MakeFolder(const std::string& name) const { m_scratch.Folder("work/" + name); }
    // Every name in the working folder, sorted.
    std::vector<std::string> List() const { return m_scratch.Names("work"); }
    // Every file of the working folder by name, with its bytes.
    std::map<std::string, std::string> Files() const;
    // Empties the working folder.
    void ClearWork() const;

    ScratchFolder m_scratch;
    std::string m_root;
    std::string m_work;
};
