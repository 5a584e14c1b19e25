#pragma once

#include "../support/scratch_folder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

extern const std::string kBanner;
extern const std::string kUsage;

extern const std::string kWritten;

// The 10-bit code the Cubrel writer stores for a lattice value.
uint32_t CubrelCode(float value);
// The whole Cubrel file of an n-point lattice whose colour at lattice point
// (r, g, b) the function gives.
std::string
ExpectedCubrel(uint32_t n,
               const std::function<void(uint32_t, uint32_t, uint32_t, float[3])>& colour);

struct RunResult {
    std::string out;
    int exitCode = -1;
};

// A throw-away installation: bin/gradeshift, resources/Resources.vxf and a
// working folder, all under one temporary folder removed afterwards.
class CliTest : public ::testing::Test {
protected:
    void SetUp() override;

    // Runs the program in the working folder. A file size limit above 0 is set
    // for the child, with SIGXFSZ ignored so that writes fail instead.
    RunResult Run(const std::vector<std::string>& args, long fileSizeLimit = 0) const;

    // Paths relative to the working folder.
    void WriteFile(const std::string& name, const std::string& bytes) const;
    std::string ReadFile(const std::string& name) const;
    bool Exists(const std::string& name) const;
    void MakeFolder(const std::string& name) const;
    // Every name in a folder of the working folder, sorted.
    std::vector<std::string> List(const std::string& folder = ".") const;

    ScratchFolder m_scratch;
    std::string m_root;
    std::string m_work;
};
