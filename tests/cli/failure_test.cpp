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

const std::string kWriteError = "  Error writing file\n";
const std::string kGainLook = BaseLook(Parameter("Gain.X", "0.5"));
const std::string kOverwriteHint = "-out DIR writes elsewhere; -overwrite replaces it";

constexpr bool kAddressSanitizer =
#if defined(__SANITIZE_ADDRESS__)
    true;
#elif defined(__has_feature)
    __has_feature(address_sanitizer);
#else
    false;
#endif

constexpr fs::perms kOwnerOnly = fs::perms::owner_read | fs::perms::owner_write;
constexpr fs::perms kPlainMode = kOwnerOnly | fs::perms::group_read | fs::perms::others_read;

// One entry of a case's working folder: a file ('f') of the bytes, one only
// its owner may read ('r'), one of user nobody in group 0 ('n'), one of user
// nobody that nobody may write but not read ('w'), a folder ('d'), a symbolic
// link ('l') to the target, or a FIFO ('p').
struct Entry {
    char kind;
    std::string name;
    std::string content = "";
};

// The files most cases start from.
const Entry kCubeFile{'f', "a.lut", kCube2};
const Entry kGainFile{'f', "g.look", kGainLook};

struct Case {
    std::vector<Entry> entries;
    std::string args;
    std::string out; // after the banner
    // Entries whose bytes change (or that appear); every other entry stays as
    // it was, links stay links, and nothing else appears.
    std::vector<std::string> changed = {};
    // Standard error, checked when given (with -v, the cause of a failure).
    std::string err = {};
};

class FailureTest : public CliTest {
protected:
    // Everything below the working folder: owner, type and mode, and a hash of
    // the bytes (the target of a link).
    std::map<std::string, std::string> Snapshot() const {
        std::map<std::string, std::string> entries;
        for (const auto& entry : fs::recursive_directory_iterator(m_work)) {
            const std::string name = entry.path().lexically_relative(m_work).string();
            struct stat info;
            ::lstat(entry.path().c_str(), &info);
            std::string& state = entries[name] =
                std::to_string(info.st_uid) + " " + std::to_string(info.st_mode) + " ";
            if (entry.is_symlink())
                state += fs::read_symlink(entry.path()).string();
            else if (entry.is_regular_file())
                state += std::to_string(std::hash<std::string>()(ReadFile(name)));
        }
        return entries;
    }

    void Make(const Entry& entry) const {
        const std::string path = m_work + "/" + entry.name;
        if (entry.kind == 'd')
            MakeFolder(entry.name);
        if (entry.kind == 'l')
            fs::create_symlink(entry.content, path);
        if (entry.kind == 'p')
            ::mkfifo(path.c_str(), 0666);
        if (std::string_view("frnw").find(entry.kind) == std::string_view::npos)
            return;
        WriteFile(entry.name, entry.content);
        fs::permissions(path, entry.kind == 'r'   ? kOwnerOnly
                              : entry.kind == 'w' ? fs::perms::owner_write
                                                  : kPlainMode);
        if (entry.kind == 'n' || entry.kind == 'w') {
            EXPECT_EQ(::chown(path.c_str(), kNobody, 0), 0) << entry.name;
        }
    }

    // Runs each case with what m_setup gives the program.
    void RunCases(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            ClearWork();
            std::string label = c.args + " with";
            for (const Entry& entry : c.entries) {
                Make(entry);
                label += " " + entry.name;
            }
            std::map<std::string, std::string> expected = Snapshot();
            const RunResult result = Run(Words(c.args), m_setup);
            EXPECT_EQ(result.out, kBanner + c.out) << label;
            EXPECT_EQ(result.exitCode, 0) << label;
            if (!c.err.empty()) {
                EXPECT_EQ(result.err, c.err) << label;
            }
            std::map<std::string, std::string> after = Snapshot();
            for (const std::string& name : c.changed) {
                EXPECT_NE(after[name], expected[name]) << label << ": " << name;
                expected[name] = after[name];
            }
            EXPECT_EQ(after, expected) << label;
        }
    }

    ChildSetup m_setup;
};

TEST_F(FailureTest, InputsThatNeedNoChangeOrCannotBeReadAreReportedAndLeftAlone) {
    const Entry sized64{'f', "a.look",
                        "<look>\n  <LUT>\n    <size>\"64\"</size>\n  </LUT>\n</look>\n"};
    const Entry sized16{'f', "b.look",
                        UnknownShaderLook("  <LUT>\n    <size>\"16\"</size>\n  </LUT>\n")};
    RunCases({
        {{sized64, sized16},
         "*.look",
         "\na.look:\n  LUT size is already 64, file was not modified\n\nb.look:\n" + kNotRendered},
        // The size is compared before anything is rendered.
        {{sized16},
         "b.look -size 16",
         "\nb.look:\n  LUT size is already 16, file was not modified\n"},
        {{{'l', "gone.look", "missing.look"}}, "*.look", "\ngone.look:\n" + kReadError},
        {{{'p', "pipe.look"}}, "*.look", "\npipe.look:\n" + kReadError},
        {{{'l', "gone.lut", "missing.lut"}}, "*.lut -cubrel", "\ngone.lut:\n" + kReadError},
        {{{'d', "x.look"}, {'f', "y.look", "<look></look>"}}, "*.look", "\ny.look:\n" + kNotALook},
        {{{'p', "pipe.lut"}}, "*.lut -cubrel", "\npipe.lut:\n" + kReadError},
        {{kCubeFile},
         "a.lut -cubrel -noresampling",
         "\na.lut:\n  Source LUT has a different size and resampling is disabled.\n"
         "  The LUT was not converted.\n"},
        // A value that the look's XML cannot write back.
        {{{'f', "q.look",
           BaseLook(Parameter("Gain.X", "0.5") + "<Comment>say \"hi\" there</Comment>\n")}},
         "q.look -size 8",
         "\nq.look:\n" + kWriteError},
    });
}

TEST_F(FailureTest, TargetsAreReplacedOnlyWhereAWriteInPlaceWouldGo) {
    RunCases({
        {{{'f', "x.lut", kCube2}, {'d', "x.look"}}, "x.lut -size 8", "\nx.lut:\n" + kWriteError},
        {{kGainFile, {'d', "g.lut"}}, "g.look -cubrel -size 9", "\ng.look:\n" + kWriteError},
        {{kGainFile, {'p', "g.lut"}}, "g.look -cubrel -size 9", "\ng.look:\n" + kWriteError},
        {{kGainFile, {'f', "store/g.lut", "old"}, {'l', "g.lut", "store/g.lut"}},
         "g.look -cubrel -size 9",
         "\ng.look:\n" + kWritten,
         {"store/g.lut"}},
        {{{'f', "store/a.lut", kCube2}, {'l', "a.lut", "store/a.lut"}},
         "a.lut -cubrel -size 9",
         "\na.lut:\n" + kResampling + kWritten,
         {"store/a.lut"}},
        // Twins whose names differ only in case: each look and each .lut is
        // written back to itself; an output of the other kind goes to the
        // name that exists, or to a new one.
        {{kGainFile, {'f', "g.LOOK", kGainLook}},
         "*.look -size 8",
         "\ng.LOOK:\n" + kUpdated + "\ng.look:\n" + kUpdated,
         {"g.LOOK", "g.look"}},
        // A name without wildcards takes its own twin; two names, both.
        {{kGainFile, {'f', "g.LOOK", kGainLook}},
         "g.LOOK -size 8",
         "\ng.LOOK:\n" + kUpdated,
         {"g.LOOK"}},
        {{kGainFile, {'f', "g.LOOK", kGainLook}},
         "g.look g.LOOK -size 8",
         "\ng.look:\n" + kUpdated + "\ng.LOOK:\n" + kUpdated,
         {"g.look", "g.LOOK"}},
        {{kCubeFile, {'f', "a.LUT", kCube2}},
         "*.lut -cubrel -size 9",
         "\na.LUT:\n" + kResampling + kWritten + "\na.lut:\n  Resampling LUT...\n" + kWritten,
         {"a.LUT", "a.lut"}},
        {{kGainFile, {'f', "g.LOOK", kGainLook}, {'f', "G.lut", "old"}},
         "*.look -cubrel -size 9",
         "\ng.LOOK:\n" + kWritten + "\ng.look:\n" + kWritten,
         {"G.lut"}},
        {{kCubeFile, {'f', "a.LUT", kCube2}},
         "*.lut -size 8",
         "\na.LUT:\n" + kUpdated + "\na.lut:\n" + kOverwriting + kUpdated,
         {"a.look"}},
        // A Cubrel file whose name differs only in case is replaced and keeps its name.
        {{kGainFile, {'f', "G.LUT", "old"}},
         "g.look -cubrel -size 9",
         "\ng.look:\n" + kWritten,
         {"G.LUT"}},
    });
}

TEST_F(FailureTest, AnOrdinaryUserChangesNoFileItCouldNotWrite) {
    if (!CanBecomeNobody())
        GTEST_SKIP() << "needs the superuser to run the program as user nobody";
    m_setup.asNobody = true;
    RunCases({
        {{kCubeFile},
         "a.lut -cubrel -size 9 -v",
         "\na.lut:\n" + kResampling + kWriteError,
         {},
         "gradeshift: a.lut: cannot write a.lut: Permission denied\n"},
        {{kGainFile}, "g.look -size 8", "\ng.look:\n" + kWriteError},
        // Its own file, whose group the new file could not keep.
        {{{'n', "a.lut", kCube2}},
         "a.lut -cubrel -size 9 -v",
         "\na.lut:\n" + kResampling + kWriteError,
         {},
         "gradeshift: a.lut: cannot write a.lut: cannot keep the file's group root\n"},
        {{kCubeFile, {'f', "a.look", "old"}},
         "a.lut -size 8",
         "\na.lut:\n" + kOverwriting + kWriteError},
        {{{'r', "g.look", kGainLook}}, "g.look -size 8", "\ng.look:\n" + kReadError},
        // The render comes before the file is opened.
        {{{'f', "u.look", UnknownShaderLook()}}, "u.look -size 8", "\nu.look:\n" + kNotRendered},
        // A file the user may write but not read is there all the same: as an
        // output it is refused, as an input it says why it cannot be read.
        {{{'f', "x.cube", kCube2}, {'w', "x.lut", "secret"}},
         "x.cube -cubrel -v",
         "\nx.cube:\n  Error: x.lut exists and is not a Cubrel LUT; file was not converted (" +
             kOverwriteHint + ")\n",
         {},
         "gradeshift: x.cube: would replace x.lut, which is not a Cubrel LUT (" + kOverwriteHint +
             ")\n"},
        {{kGainFile, {'w', "g.png", "frame"}},
         "g.look -to hald -size 16",
         "\ng.look:\n  Error: g.png exists and is not a Hald CLUT that Gradeshift wrote; file was "
         "not converted (" +
             kOverwriteHint + ")\n"},
        {{{'f', "z.cube", kCube2}, {'w', "z.look", "notes"}},
         "z.cube -size 8",
         "\nz.cube:\n  Error: z.look exists and is not a look made for this file; file was not "
         "converted (" +
             kOverwriteHint + ")\n"},
        {{{'w', "a.lut", kCube2}},
         "a.lut -cubrel -v",
         "\na.lut:\n" + kReadError,
         {},
         "gradeshift: a.lut: Permission denied\n"},
    });
}

// A file of an output's name is replaced only when a run wrote it (or with
// -overwrite); never the input under another name or a file the look reads.
TEST_F(FailureTest, OutputsReplaceOnlyWhatRunsWrote) {
    const Entry look{'f', "x.look", BaseLook(Parameter("Gain.X", "0.3"))};
    const std::string marked = "# Written by Gradeshift\n" + kCube2;
    auto refused = [](const std::string& output, const std::string& what) {
        return "\nx.look:\n  Error: " + output + " exists and is not a " + what +
               " that Gradeshift wrote; file was not converted (" + kOverwriteHint + ")\n";
    };
    const std::string cubeWritten = "\nx.look:\n  cube LUT written successfully\n";
    RunCases({
        {{look, {'f', "x.png", "a still frame"}},
         "x.look -to hald -size 16",
         refused("x.png", "Hald CLUT")},
        {{look, {'f', "x.cube", "notes\n"}}, "x.look -to cube", refused("x.cube", "cube LUT")},
        {{look, {'f', "x.cube", ""}}, "x.look -to cube", refused("x.cube", "cube LUT")},
        {{look, {'p', "x.cube"}}, "x.look -to cube", refused("x.cube", "cube LUT")},
        {{look, {'f', "x.cc", "<?xml version=\"1.0\"?>\n<ColorDecisionList>\n"}},
         "x.look -to cc",
         refused("x.cc", "ASC CDL")},
        {{look, {'f', "x.clf", "<html></html>\n"}}, "x.look -to clf", refused("x.clf", "CLF LUT")},
        {{look, {'f', "x.spi3d", "SPILUT 1.0\n3 3\n2 2 2\n"}},
         "x.look -to spi3d",
         "\nx.look:\n  Error: x.spi3d exists, and a spi3d LUT has no place for a mark of ours; "
         "file was not converted (" +
             kOverwriteHint + ")\n"},
        // A second run replaces its own output; -overwrite replaces any.
        {{look, {'f', "x.cube", marked}}, "x.look -to cube", cubeWritten, {"x.cube"}},
        {{look, {'f', "x.cube", "notes\n"}}, "x.look -to cube -overwrite", cubeWritten, {"x.cube"}},
        // Never a LUT file that the look reads, whatever the mode.
        {{{'f', "shot.look",
           BaseLook(Parameter("BaseLUT", "shot.cube") + Parameter("Gain.X", "0.3"))},
          {'f', "shot.cube", marked}},
         "shot.look -to cube --overwrite",
         "\nshot.look:\n  Error: shot.cube is read by shot.look; file was not converted (-out DIR "
         "writes elsewhere)\n"},
        {{{'f', "g.look", BaseLook(Parameter("BaseLUT", "G.LUT"))}, {'f', "g.lut", kCube2}},
         "g.look -cubrel",
         "\ng.look:\n  Error: g.lut is read by g.look; file was not converted (-out DIR writes "
         "elsewhere)\n"},
        // Never the input, reached through a link.
        {{kGainFile, {'l', "g.lut", "g.look"}},
         "g.look -cubrel",
         "\ng.look:\n  Error: g.lut is the input itself; file was not converted (-out DIR writes "
         "elsewhere)\n"},
        {{kCubeFile, {'l', "a.look", "a.lut"}},
         "a.lut -size 8",
         "\na.lut:\n  Error: a.look is the input itself; file was not converted (-out DIR writes "
         "elsewhere)\n"},
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
        {{kCubeFile}, "a.lut -cubrel -size 129", "\na.lut:\n" + kResampling + kCannotConvert},
        {{{'f', "s.look", stored}},
         "s.look -cubrel -size 129",
         "\ns.look:\n" + kInternalError + kResamplingStored + kResampleWarning + kCannotConvert},
        {{kGainFile}, "g.look -cubrel -size 129", "\ng.look:\n" + kInternalError + kCannotConvert},
        {{kGainFile},
         "g.look -size 256 -v",
         "\ng.look:\n" + kNotRendered,
         {},
         "gradeshift: g.look: out of memory\n"},
    });
}

TEST_F(FailureTest, WritesThatFailPartWayKeepTheOldFile) {
    // A Cubrel file of 3940 bytes, then a rebuilt look of 446 MB.
    m_setup.fileSizeLimit = 2048;
    RunCases({{{kCubeFile},
               "a.lut -cubrel -size 9 -v",
               "\na.lut:\n" + kResampling + kWriteError,
               {},
               "gradeshift: a.lut: cannot write a.lut: File too large\n"}});
    m_setup.fileSizeLimit = 64l << 20;
    RunCases({{{kGainFile}, "g.look -size 256", "\ng.look:\n" + kWriteError}});
}

// True while the program holds open a file of the folder that has no name: the
// new file of a replacement, on a file system that has unnamed files.
bool HoldsUnnamedFile(pid_t pid, const std::string& folder) {
    const std::string inFolder = fs::canonical(folder).string() + "/";
    std::error_code error;
    for (fs::directory_iterator descriptor("/proc/" + std::to_string(pid) + "/fd", error), end;
         !error && descriptor != end; descriptor.increment(error)) {
        std::error_code closed;
        const std::string file = fs::read_symlink(descriptor->path(), closed).string();
        if (file.starts_with(inFolder) && file.ends_with(" (deleted)"))
            return true;
    }
    return false;
}

// Stops the program once its new file is there (a temporary file in the
// folder, or an unnamed one), does what is asked and lets it go on: that is
// then done while the replacement is surely under way. False when the write
// was over before the program could be stopped.
bool WhileWriting(pid_t pid, const std::string& folder, const std::function<void()>& act) {
    auto writing = [&] {
        return std::distance(fs::directory_iterator(folder), {}) > 1 ||
               HoldsUnnamedFile(pid, folder);
    };
    while (!writing()) {
        siginfo_t state{};
        if (::waitid(P_PID, pid, &state, WEXITED | WNOHANG | WNOWAIT) == 0 && state.si_pid == pid)
            return false;
        ::usleep(200);
    }
    ::kill(pid, SIGSTOP);
    siginfo_t state{};
    ::waitid(P_PID, pid, &state, WSTOPPED | WEXITED | WNOWAIT);
    const bool stoppedWhileWriting = state.si_code == CLD_STOPPED && writing();
    if (stoppedWhileWriting)
        act();
    ::kill(pid, SIGCONT);
    return stoppedWhileWriting;
}

// Sends the signal to the thread that writes the file while it writes.
bool InterruptWhileWriting(pid_t pid, const std::string& folder, int signalNumber) {
    return WhileWriting(pid, folder, [&] { ::syscall(SYS_tgkill, pid, pid, signalNumber); });
}

// A file that appears at the output, or that is changed there, while the run
// writes stays as it is: the output is refused and nothing is left behind.
TEST_F(FailureTest, AFileThatAppearsOrChangesWhileTheRunWritesIsKept) {
    const std::string look = BaseLook(Parameter("Gain.X", "0.3"));
    const std::string edited = BaseLook(Parameter("Gain.X", "0.4"));
    const struct {
        std::string args, changed, content, out;
    } cases[] = {
        {"x.look -to hald -size 144", "x.png", "notes\n",
         "\nx.look:\n  Error: x.png appeared while the file was converted; file was not "
         "converted (-out DIR writes elsewhere)\n"},
        {"x.look -size 128", "x.look", edited,
         "\nx.look:\n  Error: x.look changed while the file was converted; file was not "
         "converted (-out DIR writes elsewhere)\n"},
    };
    for (const auto& c : cases) {
        bool caught = false;
        for (int attempt = 0; attempt < 3 && !caught; ++attempt) {
            ClearWork();
            WriteFile("x.look", look);
            const RunningProgram program = Start(Words(c.args));
            caught = WhileWriting(program.pid, m_work, [&] { WriteFile(c.changed, c.content); });
            const RunResult result = Finish(program);
            if (caught) {
                EXPECT_EQ(result.out, kBanner + c.out) << c.args;
            }
        }
        ASSERT_TRUE(caught) << c.args << ": the run was never caught writing";
        EXPECT_EQ(ReadFile(c.changed), c.content) << c.args;
        EXPECT_EQ(List().size(), c.changed == "x.look" ? 1u : 2u) << c.args;
    }
}

// (What a run killed outright leaves, the next one removes: see the platform tests.)
TEST_F(FailureTest, AnInterruptedRebuildLeavesTheOldLookAndNoTemporaryFile) {
    for (int signalNumber : {SIGINT, SIGTERM}) {
        bool interrupted = false;
        for (int attempt = 0; attempt < 3 && !interrupted; ++attempt) {
            WriteFile("g.look", kGainLook);
            const RunningProgram program = Start({"g.look", "-size", "256"});
            interrupted = InterruptWhileWriting(program.pid, m_work, signalNumber);
            const RunResult result = Finish(program);
            EXPECT_TRUE(!interrupted || result.exitCode == 128 + signalNumber) << result.exitCode;
        }
        ASSERT_TRUE(interrupted) << "the rebuild was never caught writing";
        EXPECT_EQ(ReadFile("g.look"), kGainLook) << signalNumber;
        EXPECT_EQ(List(), std::vector<std::string>{"g.look"}) << signalNumber;
    }
}

} // namespace
