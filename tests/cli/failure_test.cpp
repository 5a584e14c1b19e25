#include "cli_harness.h"

#include "../support/run_as_nobody.h"

#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kReadError = "  Error reading file\n";
const std::string kWriteError = "  Error writing file\n";
const std::string kResampling = "  Resampling LUT...\n" + kResampleWarning;
// A 2-point identity lattice: every Cubrel size needs it resampled.
const std::string kCube2 =
    "LUT_3D_SIZE 2\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n";
const std::string kGainLook = BaseLook(Parameter("Gain.X", "0.5"));

constexpr bool kAddressSanitizer =
#if defined(__SANITIZE_ADDRESS__)
    true;
#elif defined(__has_feature)
    __has_feature(address_sanitizer);
#else
    false;
#endif

constexpr fs::perms kPlainMode =
    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;

// Makes the entries of one case in the working folder.
struct Entry {
    enum Kind { eFile, eFolder, eLink, eFifo } kind;
    std::string name;
    std::string content; // the bytes of a file, the target of a link
    fs::perms mode = kPlainMode;
};

Entry File(const std::string& name, const std::string& bytes, fs::perms mode = kPlainMode) {
    return {Entry::eFile, name, bytes, mode};
}
Entry Folder(const std::string& name) {
    return {Entry::eFolder, name, ""};
}
Entry Link(const std::string& name, const std::string& target) {
    return {Entry::eLink, name, target};
}
Entry Fifo(const std::string& name) {
    return {Entry::eFifo, name, ""};
}

struct Case {
    const char* what;
    std::vector<Entry> entries;
    std::vector<std::string> args;
    std::string out; // after the banner
    // Entries whose bytes change (or that appear); every other entry stays as
    // it was, links stay links, and nothing else appears.
    std::vector<std::string> changed = {};
};

class FailureTest : public CliTest {
protected:
    // Everything below the working folder: owner, type and mode, and the size
    // and a hash of the bytes (the target of a link).
    std::map<std::string, std::string> Snapshot() const {
        std::map<std::string, std::string> entries;
        for (const auto& entry : fs::recursive_directory_iterator(m_work)) {
            const std::string name = entry.path().lexically_relative(m_work).string();
            struct stat info;
            ::lstat(entry.path().c_str(), &info);
            std::string state =
                std::to_string(info.st_uid) + " " + std::to_string(info.st_mode) + " ";
            if (entry.is_symlink()) {
                state += fs::read_symlink(entry.path()).string();
            } else if (entry.is_regular_file()) {
                const std::string bytes = ReadFile(name);
                state += std::to_string(bytes.size()) + " " +
                         std::to_string(std::hash<std::string>()(bytes));
            }
            entries[name] = state;
        }
        return entries;
    }

    ChildSetup m_setup;

    void Make(const Entry& entry) const {
        const std::string path = m_work + "/" + entry.name;
        switch (entry.kind) {
        case Entry::eFile:
            WriteFile(entry.name, entry.content);
            fs::permissions(path, entry.mode);
            break;
        case Entry::eFolder:
            MakeFolder(entry.name);
            break;
        case Entry::eLink:
            fs::create_symlink(entry.content, path);
            break;
        case Entry::eFifo:
            ::mkfifo(path.c_str(), 0666);
            break;
        }
    }

    // Runs each case with what m_setup gives the program.
    void RunCases(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            fs::remove_all(m_work);
            MakeFolder("");
            for (const Entry& entry : c.entries)
                Make(entry);
            std::map<std::string, std::string> expected = Snapshot();
            const RunResult result = Run(c.args, m_setup);
            EXPECT_EQ(result.out, kBanner + c.out) << c.what;
            EXPECT_EQ(result.exitCode, 0) << c.what;
            std::map<std::string, std::string> after = Snapshot();
            for (const std::string& name : c.changed) {
                EXPECT_NE(after[name], expected[name]) << c.what << ": " << name;
                expected[name] = after[name];
            }
            EXPECT_EQ(after, expected) << c.what;
        }
    }
};

TEST_F(FailureTest, InputsThatVanishOrAreNoFilesAreReportedAndLeftAlone) {
    RunCases({
        {"a dangling link listed by a wildcard",
         {Link("gone.look", "missing.look")},
         {"*.look"},
         "\ngone.look:\n" + kReadError},
        {"a FIFO listed by a wildcard",
         {Fifo("pipe.look")},
         {"*.look"},
         "\npipe.look:\n" + kReadError},
        {"a dangling link in Cubrel mode",
         {Link("gone.lut", "missing.lut")},
         {"*.lut", "-cubrel"},
         "\ngone.lut:\n" + kReadError},
        {"a folder named like a look",
         {Folder("x.look"), File("y.look", "<look></look>")},
         {"*.look"},
         "\ny.look:\n  Not a valid .look file\n"},
        {"a FIFO in Cubrel mode",
         {Fifo("pipe.lut")},
         {"*.lut", "-cubrel"},
         "\npipe.lut:\n" + kReadError},
    });
}

TEST_F(FailureTest, TargetsAreReplacedOnlyWhereAWriteInPlaceWouldGo) {
    RunCases({
        {"a folder named like the new look",
         {File("x.lut", kCube2), Folder("x.look")},
         {"x.lut", "-size", "8"},
         "\nx.lut:\n" + kWriteError},
        {"a folder named like the Cubrel file",
         {File("b.look", kGainLook), Folder("b.lut")},
         {"b.look", "-cubrel", "-size", "9"},
         "\nb.look:\n" + kWriteError},
        {"a FIFO named like the Cubrel file",
         {File("b.look", kGainLook), Fifo("b.lut")},
         {"b.look", "-cubrel", "-size", "9"},
         "\nb.look:\n" + kWriteError},
        {"a Cubrel file reached through a link",
         {File("b.look", kGainLook), File("store/b.lut", "old"), Link("b.lut", "store/b.lut")},
         {"b.look", "-cubrel", "-size", "9"},
         "\nb.look:\n" + kWritten,
         {"store/b.lut"}},
        {"a LUT file converted through a link",
         {File("store/a.lut", kCube2), Link("a.lut", "store/a.lut")},
         {"a.lut", "-cubrel", "-size", "9"},
         "\na.lut:\n" + kResampling + kWritten,
         {"store/a.lut"}},
        {"a Cubrel file of the same name in another case",
         {File("b.look", kGainLook), File("B.LUT", "old")},
         {"b.look", "-cubrel", "-size", "9"},
         "\nb.look:\n" + kWritten,
         {"B.LUT"}},
    });
}

TEST_F(FailureTest, AnOrdinaryUserChangesNoFileItCouldNotWrite) {
    if (!CanBecomeNobody())
        GTEST_SKIP() << "needs the superuser to run the program as user nobody";
    m_setup.asNobody = true;
    const fs::perms ownerOnly = fs::perms::owner_read | fs::perms::owner_write;
    RunCases({
        {"another user's LUT file",
         {File("a.lut", kCube2)},
         {"a.lut", "-cubrel", "-size", "9"},
         "\na.lut:\n" + kResampling + kWriteError},
        {"another user's look",
         {File("g.look", kGainLook)},
         {"g.look", "-size", "8"},
         "\ng.look:\n" + kWriteError},
        {"another user's look beside a LUT file",
         {File("a.lut", kCube2), File("a.look", "old")},
         {"a.lut", "-size", "8"},
         "\na.lut:\n  Warning: conversion will overwrite an existing look file\n" + kWriteError},
        {"a look it may not read",
         {File("g.look", kGainLook, ownerOnly)},
         {"g.look", "-size", "8"},
         "\ng.look:\n" + kReadError},
    });
}

TEST_F(FailureTest, OutOfMemoryFallsBackAndWritesNoLatticeOfAnotherSize) {
    if (kAddressSanitizer)
        GTEST_SKIP() << "an address space limit cannot hold the sanitizer's shadow memory";
    // Enough for the program and a 129-point Cubrel buffer, too little for a
    // 129-point lattice (34 MB to resample into, 25 MB to render).
    m_setup.addressSpaceLimit = 32l << 20;
    // The render runs out before it finds out that a shader is missing.
    const std::string kInternalError = "  Internal error while rendering LUT\n";
    const std::string stored = "<?xml version=\"1.0\" ?>\n" + UnknownShaderLook(StoredLut(0.5f));
    RunCases({
        {"the program starts within the limit",
         {File("a.lut", kCube2)},
         {"a.lut", "-cubrel", "-size", "129", "-noresampling"},
         "\na.lut:\n  Source LUT has a different size and resampling is disabled.\n"
         "  The LUT was not converted.\n"},
        {"resampling a LUT file",
         {File("a.lut", kCube2)},
         {"a.lut", "-cubrel", "-size", "129"},
         "\na.lut:\n" + kResampling + kCannotConvert},
        {"resampling the LUT stored in a look",
         {File("s.look", stored)},
         {"s.look", "-cubrel", "-size", "129"},
         "\ns.look:\n" + kInternalError + "  Resampling original LUT from the .look file...\n" +
             kResampleWarning + kCannotConvert},
        {"rendering a look",
         {File("g.look", kGainLook)},
         {"g.look", "-cubrel", "-size", "129"},
         "\ng.look:\n" + kInternalError + kCannotConvert},
        {"rebuilding a look",
         {File("g.look", kGainLook)},
         {"g.look", "-size", "256"},
         "\ng.look:\n  Error rendering new look LUT, file was not modified\n"},
    });
}

TEST_F(FailureTest, WritesThatFailPartWayKeepTheOldFile) {
    m_setup.fileSizeLimit = 2048;
    RunCases({
        {"a Cubrel file of 3940 bytes",
         {File("a.lut", kCube2)},
         {"a.lut", "-cubrel", "-size", "9"},
         "\na.lut:\n" + kResampling + kWriteError},
    });
    m_setup.fileSizeLimit = 64l << 20;
    RunCases({
        {"a rebuilt look of 446 MB",
         {File("g.look", kGainLook)},
         {"g.look", "-size", "256"},
         "\ng.look:\n" + kWriteError},
    });
}

// Stops the program once its temporary file is there, sends the signal to
// the thread that writes the file and lets it go on: the signal is then
// handled while the replacement is surely under way. False when the write
// was over before the program could be stopped.
bool InterruptWhileWriting(pid_t pid, const std::string& folder, int signalNumber) {
    auto writing = [&] { return std::distance(fs::directory_iterator(folder), {}) > 1; };
    for (;;) {
        siginfo_t state{};
        if (::waitid(P_PID, pid, &state, WEXITED | WNOHANG | WNOWAIT) == 0 && state.si_pid == pid)
            return false;
        if (writing())
            break;
        ::usleep(200);
    }
    ::kill(pid, SIGSTOP);
    siginfo_t state{};
    ::waitid(P_PID, pid, &state, WSTOPPED | WEXITED | WNOWAIT);
    const bool stoppedWhileWriting = state.si_code == CLD_STOPPED && writing();
    if (stoppedWhileWriting)
        ::syscall(SYS_tgkill, pid, pid, signalNumber);
    ::kill(pid, SIGCONT);
    return stoppedWhileWriting;
}

TEST_F(FailureTest, AnInterruptedRebuildLeavesTheOldLookAndNoTemporaryFile) {
    for (int signalNumber : {SIGINT, SIGTERM}) {
        bool interrupted = false;
        for (int attempt = 0; attempt < 3 && !interrupted; ++attempt) {
            WriteFile("g.look", kGainLook);
            const RunningProgram program = Start({"g.look", "-size", "256"});
            interrupted = InterruptWhileWriting(program.pid, m_work, signalNumber);
            const RunResult result = Finish(program);
            if (interrupted) {
                EXPECT_EQ(result.exitCode, 128 + signalNumber);
            }
        }
        ASSERT_TRUE(interrupted) << "the rebuild was never caught writing";
        EXPECT_EQ(List(), std::vector<std::string>{"g.look"}) << signalNumber;
        EXPECT_EQ(ReadFile("g.look"), kGainLook) << signalNumber;
    }
}

} // namespace
