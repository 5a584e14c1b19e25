#include "cli_harness.h"

#include "../support/run_as_nobody.h"

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <pty.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;

const std::string kBanner = "VEXLAN Gradeshift 2008\n\n";
const std::string kUsage =
    "Usage: Gradeshift input [-cubrel] [-size N] [-noresampling]\n\n"
    "  Input can be either a wildcard (*.look), a single file, or a directory.\n"
    "  If input is a directory, all look files in that directory will be processed.\n\n"
    "  When -cubrel is specified, all input looks are converted to Cubrel LUTs\n\n"
    "  Size - for rebuilding look LUTs, size must be a power of two, minimum is 8,\n"
    "         maximum 256, and the default size is 64.\n"
    "       - for converting looks to Cubrel LUTs, size must be a power of two + 1,\n"
    "         minimum is 9, maximum 129, and the default is 17.\n\n"
    "  -noresampling disables resampling of LUTs when they can't be rendered from\n"
    "  the source look (e.g. when some LUTs used by the look are missing).\n"
    "  If resampling is disabled, the looks that can't be rendered won't be converted.\n";

const std::string kWritten = "  Cubrel LUT written successfully\n";
const std::string kShaderMissing =
    "  Error while rendering LUT:\n    Failed to load one or more shaders used in the look\n";
const std::string kLutMissing =
    "  Error while rendering LUT:\n    One or more of the LUTs used in the look are missing\n";
const std::string kUpdated = "  LUT updated successfully\n";
const std::string kNotRendered = "  Error rendering new look LUT, file was not modified\n";
const std::string kCannotConvert = "  The source LUT can't be converted\n";
const std::string kResampleWarning =
    "  Warning: resampling the original LUT to a different size\n"
    "  can severely reduce the quality of the resulting Cubrel LUT.\n";
const std::string kResamplingStored = "  Resampling original LUT from the .look file...\n";
const std::string kNotALook = "  Not a valid .look file\n";
const std::string kIsCubrel = "  File seems to be a Cubrel LUT, no conversion performed\n";
const std::string kOverwriting = "  Warning: conversion will overwrite an existing look file\n";
const std::string kReadError = "  Error reading file\n";
const std::string kTryHelp = "Try 'gradeshift --help' for more information.\n";
const std::string kResampling = "  Resampling LUT...\n" + kResampleWarning;
const std::string kUnloadable = std::string("\x01\x02\x00\x03 no LUT here", 16);
const std::string kRamp = "LUT_1D_SIZE 2\n0.1 0.1 0.1\n0.7 0.7 0.7\n";

uint32_t CubrelCode(float value) {
    if (!(value > 0.0f))
        return 0;
    if (value >= 1.0f)
        return 1023;
    return static_cast<uint32_t>(std::floor(static_cast<float>(double(value) * 1023.0 + 0.5)));
}

namespace {

std::string BigEndian(uint32_t value, int bytes) {
    std::string out;
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out += static_cast<char>(value >> shift);
    return out;
}

} // namespace

std::string
ExpectedCubrel(uint32_t n,
               const std::function<void(uint32_t, uint32_t, uint32_t, float[3])>& colour) {
    const uint32_t entries = n * n * n;
    uint32_t exponent = 0;
    while ((1u << exponent) + 1 < n)
        ++exponent;
    std::string file = "3LUT" + BigEndian(1024, 4) + "V1.0" + std::string(4, '\0') +
                       BigEndian(1024 + 4 * entries, 4) + std::string(16, '\xFF') +
                       std::string(624, '\0') + std::string(4, '\xFF') + std::string(104, '\0') +
                       BigEndian(exponent, 2) + BigEndian(1, 2) + BigEndian(entries, 4) +
                       std::string(248, '\xFF');
    for (uint32_t r = 0; r < n; ++r)
        for (uint32_t g = 0; g < n; ++g)
            for (uint32_t b = 0; b < n; ++b) {
                float rgb[3];
                colour(r, g, b, rgb);
                file += BigEndian(
                    CubrelCode(rgb[0]) << 20 | CubrelCode(rgb[1]) << 10 | CubrelCode(rgb[2]), 4);
            }
    return file;
}

std::vector<std::string> Words(const std::string& line) {
    std::istringstream words(line);
    return {std::istream_iterator<std::string>(words), {}};
}

void CliTest::SetUp() {
    m_root = m_scratch.Posix();
    m_work = m_root + "/work";
    for (const char* folder : {"work", "bin", "resources"})
        m_scratch.Folder(folder);
    fs::copy_file(GRADESHIFT_PROGRAM, m_root + "/bin/gradeshift");
    fs::copy_file(GRADESHIFT_ARCHIVE, m_root + "/resources/Resources.vxf");
#ifdef GRADESHIFT_OCIO_MODULE_FILE
    m_scratch.Folder("lib/gradeshift");
    fs::copy_file(GRADESHIFT_OCIO_MODULE_FILE, m_root + "/lib/gradeshift/libgradeshift_ocio.so");
#endif
}

std::map<std::string, std::string> CliTest::Files() const {
    std::map<std::string, std::string> files;
    for (const std::string& name : List())
        files[name] = ReadFile(name);
    return files;
}

void CliTest::ClearWork() const {
    fs::remove_all(m_work);
    MakeFolder("");
}

namespace {

// In the child, before the program starts: nothing it inherits from the test
// process may change how it meets signals, limits or permissions.
void PrepareChild(const std::string& work, const ChildSetup& setup) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ, SIGALRM})
        signal(signalNumber, SIG_DFL);
    alarm(30);
    if (chdir(work.c_str()) != 0)
        _exit(127);
    const std::pair<int, long> limits[] = {{RLIMIT_FSIZE, setup.fileSizeLimit},
                                           {RLIMIT_AS, setup.addressSpaceLimit}};
    for (const auto& [resource, bytes] : limits) {
        const rlimit limit{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
        if (bytes > 0)
            setrlimit(resource, &limit);
    }
    if (setup.asNobody && !BecomeNobody())
        _exit(126);
    for (const auto& [name, value] : setup.environment)
        setenv(name.c_str(), value.c_str(), 1);
}

} // namespace

RunningProgram CliTest::Start(const std::vector<std::string>& args, const ChildSetup& setup) const {
    RunningProgram program;
    int pipeEnds[2], errorEnds[2];
    if (pipe(pipeEnds) != 0)
        return program;
    if (setup.errorOnTerminal ? openpty(&errorEnds[0], &errorEnds[1], nullptr, nullptr, nullptr)
                              : pipe(errorEnds))
        return program;
    if (setup.asNobody) {
        fs::permissions(m_root, static_cast<fs::perms>(0755));
        fs::permissions(m_work, fs::perms::all);
    }
    const std::string path = m_root + "/bin/gradeshift";
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    program.pid = fork();
    if (program.pid == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        dup2(errorEnds[1], STDERR_FILENO);
        for (int end : {pipeEnds[0], pipeEnds[1], errorEnds[0], errorEnds[1]})
            close(end);
        PrepareChild(m_work, setup);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    close(errorEnds[1]);
    program.output = pipeEnds[0];
    program.error = errorEnds[0];
    return program;
}

void CliTest::ExpectRuns(const std::vector<Expected>& cases, const ChildSetup& setup) const {
    for (const Expected& c : cases) {
        const RunResult result = Run(Words(c.line), setup);
        EXPECT_EQ(result.out, kBanner + c.out) << c.line;
        EXPECT_EQ(result.err, c.err) << c.line;
        EXPECT_EQ(result.exitCode, c.exitCode) << c.line;
    }
}

RunResult CliTest::Finish(const RunningProgram& program) const {
    RunResult result;
    if (program.pid <= 0)
        return result;
    char buffer[4096];
    // A terminal's end reports an error instead of the end once the program is gone.
    for (auto [fd, text] : {std::pair{program.output, &result.out}, {program.error, &result.err}}) {
        ssize_t count;
        while ((count = read(fd, buffer, sizeof buffer)) > 0)
            text->append(buffer, static_cast<size_t>(count));
        close(fd);
    }
    int status = 0;
    waitpid(program.pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}
