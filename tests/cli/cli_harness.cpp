#include "cli_harness.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

uint32_t CubrelCode(float value) {
    if (!(value > 0.0f))
        return 0;
    if (value >= 1.0f)
        return 1023;
    return static_cast<uint32_t>(std::floor(static_cast<float>(double(value) * 1023.0 + 0.5)));
}

namespace {

void PutBigEndian(std::string& out, size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out[at + i] = static_cast<char>(value >> (8 * (bytes - 1 - i)));
}

} // namespace

std::string
ExpectedCubrel(uint32_t n,
               const std::function<void(uint32_t, uint32_t, uint32_t, float[3])>& colour) {
    const uint32_t entries = n * n * n;
    std::string file(1024 + 4 * entries, '\0');
    std::fill(file.begin(), file.begin() + 1024, '\xFF');
    std::fill(file.begin() + 8, file.begin() + 16, '\0');
    std::fill(file.begin() + 36, file.begin() + 660, '\0');
    std::fill(file.begin() + 664, file.begin() + 768, '\0');
    file.replace(0, 4, "3LUT");
    PutBigEndian(file, 4, 1024, 4);
    file.replace(8, 4, "V1.0");
    PutBigEndian(file, 16, 1024 + 4 * entries, 4);
    uint32_t exponent = 0;
    while ((1u << exponent) + 1 < n)
        ++exponent;
    PutBigEndian(file, 768, exponent, 2);
    PutBigEndian(file, 770, 1, 2);
    PutBigEndian(file, 772, entries, 4);
    for (uint32_t r = 0; r < n; ++r)
        for (uint32_t g = 0; g < n; ++g)
            for (uint32_t b = 0; b < n; ++b) {
                float rgb[3];
                colour(r, g, b, rgb);
                const uint32_t word =
                    CubrelCode(rgb[0]) << 20 | CubrelCode(rgb[1]) << 10 | CubrelCode(rgb[2]);
                PutBigEndian(file, 1024 + 4 * ((r * n + g) * n + b), word, 4);
            }
    return file;
}

void CliTest::SetUp() {
    m_root = m_scratch.Posix();
    m_work = m_root + "/work";
    m_scratch.Folder("work");
    m_scratch.Folder("bin");
    m_scratch.Folder("resources");
    fs::copy_file(GRADESHIFT_PROGRAM, m_root + "/bin/gradeshift");
    fs::copy_file(GRADESHIFT_ARCHIVE, m_root + "/resources/Resources.vxf");
}

RunResult CliTest::Run(const std::vector<std::string>& args, long fileSizeLimit) const {
    RunResult result;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return result;
    const std::string program = m_root + "/bin/gradeshift";
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        if (chdir(m_work.c_str()) != 0)
            _exit(127);
        if (fileSizeLimit > 0) {
            signal(SIGXFSZ, SIG_IGN);
            rlimit limit{static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    char buffer[4096];
    ssize_t count;
    while ((count = read(pipeEnds[0], buffer, sizeof buffer)) > 0)
        result.out.append(buffer, static_cast<size_t>(count));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

void CliTest::WriteFile(const std::string& name, const std::string& bytes) const {
    m_scratch.Write("work/" + name, bytes);
}

std::string CliTest::ReadFile(const std::string& name) const {
    return m_scratch.Read("work/" + name);
}

bool CliTest::Exists(const std::string& name) const {
    return fs::exists(m_work + "/" + name);
}

void CliTest::MakeFolder(const std::string& name) const {
    m_scratch.Folder("work/" + name);
}

std::vector<std::string> CliTest::List(const std::string& folder) const {
    return m_scratch.Names("work/" + folder);
}
