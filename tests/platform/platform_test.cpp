#include "platform/environment.h"
#include "platform/file_replacement.h"
#include "platform/file_system.h"
#include "platform/folder_names.h"
#include "platform/large_buffer.h"
#include "platform/path_mapping.h"
#include "platform/replacement_test_hooks.h"

#include "../support/run_as_nobody.h"
#include "../support/scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(PathMapping, DrivesAndRoots) {
    // Paths, whether they name a place here, and the place.
    const std::tuple<const char*, bool, const char*> cases[] = {
        {"Z:\\opt\\x", true, "/opt/x"},      {"z:/opt/x", true, "/opt/x"},
        {"\\opt\\x", true, "/opt/x"},        {"a\\b.look", true, "a/b.look"},
        {"Z:rel\\x", true, "rel/x"},         {"", true, "."},
        {"C:\\opt\\x", false, ""},           {"c:x", false, ""},
        {"\\\\server\\share\\x", false, ""}, {"//server/share", false, ""},
    };
    for (const auto& [path, names, expected] : cases) {
        std::string posix;
        EXPECT_EQ(platform::ToPosixPath(path, posix), names) << path;
        EXPECT_EQ(posix, expected) << path;
    }
    EXPECT_EQ(platform::ToDrivePath("/opt/gradeshift/bin/gradeshift"),
              "Z:\\opt\\gradeshift\\bin\\gradeshift");
}

TEST(PathMapping, CaseBlindResolution) {
    ScratchFolder folder;
    folder.Write("Looks/Grade.LOOK", "x");
    folder.Write("Looks/ab", "lower");
    folder.Write("Looks/AB", "upper");
    const std::tuple<const char*, bool, bool, const char*> cases[] = {
        {"LOOKS\\grade.look", false, true, "Looks/Grade.LOOK"},
        {"looks/GRADE.look", false, true, "Looks/Grade.LOOK"},
        {"looks\\Ab", false, true, "Looks/AB"}, // first of two in listing order
        {"looks\\ab", false, true, "Looks/ab"}, // an exact name wins
        {"looks\\new.look", false, false, ""},
        {"looks\\new.look", true, true, "Looks/new.look"},
        {"looks\\*", true, true, "Looks/*"}, // how a folder's identity is probed
        {"missing\\new.look", true, false, ""},
    };
    for (const auto& [relative, allowMissingLeaf, found, resolved] : cases) {
        std::string posix;
        EXPECT_EQ(platform::ResolvePath(folder.Drive(relative), posix, allowMissingLeaf), found)
            << relative;
        EXPECT_EQ(posix, found ? folder.Posix() + "/" + resolved : "") << relative;
    }
}

// A folder large enough to be kept between look-ups must still answer as a
// fresh reading would after every change made to it behind the program's back.
TEST(PathMapping, LargeFolderLookUpsSeeEveryChange) {
    ScratchFolder scratch;
    const std::string folder = scratch.Posix("a/out");
    for (int i = 0; i < 300; ++i)
        scratch.Write("a/out/name" + std::to_string(i), "");
    auto make = [&](const char* name) { ::close(::creat((folder + "/" + name).c_str(), 0644)); };
    auto remove = [&](const char* name) { ::unlink((folder + "/" + name).c_str()); };
    auto rename = [&](const char* from, const char* to) {
        ::rename((folder + "/" + from).c_str(), (folder + "/" + to).c_str());
    };
    const std::tuple<std::function<void()>, const char*, const char*> steps[] = {
        {[] {}, "NAME7", "name7"},
        {[] {}, "new.look", ""},
        {[&] { make("NEW.look"); }, "new.look", "NEW.look"},
        {[&] { make("new.look"); }, "NEW.LOOK", "NEW.look"}, // least in byte order
        {[&] { remove("NEW.look"); }, "NEW.LOOK", "new.look"},
        {[&] { rename("new.look", "Other"); }, "new.look", ""},
        {[] {}, "OTHER", "Other"},
        {[&] { ::mkdir((folder + "/Sub").c_str(), 0755); }, "sub", "Sub"},
        // Another folder in its place, its own untouched: the folder above is moved.
        {[&] {
             ::rename(scratch.Posix("a").c_str(), scratch.Posix("b").c_str());
             scratch.Write("a/out/Fresh", "");
         },
         "fresh", "Fresh"},
        {[] {}, "name7", ""},
    };
    for (const auto& [change, element, expected] : steps) {
        change();
        std::string name;
        EXPECT_EQ(platform::FindNameNoCase(folder, element, name), *expected != '\0') << element;
        EXPECT_EQ(name, *expected ? expected : "") << element;
    }
}

// A large block freed is kept for the next request of its size; what that
// request gets must read as fresh memory does, whatever the block held.
TEST(LargeBlocks, AReusedBlockReadsAsZero) {
    for (const size_t bytes : {size_t(300) << 10, size_t(3) << 20}) {
        for (int round = 0; round < 3; ++round) {
            auto* block = static_cast<unsigned char*>(platform::NewLargeBlock(bytes));
            ASSERT_NE(block, nullptr);
            if (round > 0) {
                EXPECT_EQ(std::count(block, block + bytes, 0), std::ptrdiff_t(bytes)) << bytes;
            }
            std::fill(block, block + bytes, 0xA5);
            platform::DeleteLargeBlock(block, bytes);
        }
    }
}

TEST(FileSystem, ReadsTakePlainFilesAndSayWhyNot) {
    ScratchFolder folder;
    folder.Write("Data.BIN", "12345");
    folder.Write("empty", "");
    // Opening a FIFO would wait for a writer; only plain files are read.
    ::mkfifo((folder.Posix() + "/pipe").c_str(), 0666);
    const std::tuple<const char*, size_t, std::string> heads[] = {
        {"DATA.bin", 5, ""},
        {"Data.BIN", 6, "shorter than 6 bytes"},
        {"empty", 1, "empty file"},
        {"", 1, "Is a directory"},
        {"none", 1, "No such file or directory"},
        {"none\\x", 1, "No such file or directory"},
        {"Data.BIN\\x", 1, "No such file or directory"},
        {"pipe", 1, "not a plain file"},
    };
    for (const auto& [name, size, cause] : heads) {
        char head[8] = {};
        EXPECT_EQ(platform::ReadFileHead(folder.Drive(name), head, size).cause, cause) << name;
    }
    std::string whole;
    size_t read = 0;
    const platform::FileRoom room = [&whole](size_t size) {
        whole.resize(size);
        return whole.data();
    };
    EXPECT_TRUE(platform::ReadWholeFile(folder.Drive("data.bin"), 5, room, read));
    EXPECT_EQ(whole.substr(0, read), "12345");
    EXPECT_EQ(platform::ReadWholeFile(folder.Drive("data.bin"), 4, room, read).error, EFBIG);
    EXPECT_EQ(platform::ReadWholeFile(
                  folder.Drive("data.bin"), 5, [](size_t) { return nullptr; }, read)
                  .error,
              ENOMEM);

    // What a path names is asked of the system, links followed, not by opening it.
    ::symlink("l2", (folder.Posix() + "/l1").c_str());
    ::symlink("l1", (folder.Posix() + "/l2").c_str());
    ::symlink("gone", (folder.Posix() + "/dangling").c_str());
    using enum platform::EEntryKind;
    const std::tuple<const char*, platform::EEntryKind, int> kinds[] = {
        {"DATA.bin", eFile, 0}, {"", eFolder, 0},      {"none", eMissing, 0},
        {"pipe", eOther, 0},    {"l1", eOther, ELOOP}, {"dangling", eMissing, 0},
    };
    for (const auto& [name, kind, error] : kinds) {
        const platform::EntryState state = platform::ExamineEntry(folder.Drive(name));
        EXPECT_EQ(std::pair(state.kind, state.error), std::pair(kind, error)) << name;
    }
    EXPECT_EQ(platform::ExamineEntry(folder.Drive("Data.BIN")).stamp.size, 5);
    char head[1];
    EXPECT_EQ(platform::ReadFileHead(folder.Drive("l1"), head, 1).error, ELOOP);
}

// Every entry below a folder, links not followed; links are marked with "@".
std::set<std::string> Entries(const ScratchFolder& folder) {
    std::set<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder.Posix())) {
        const std::string name = entry.path().lexically_relative(folder.Posix()).string();
        entries.insert(entry.is_symlink() ? name + "@" : name);
    }
    return entries;
}

// Lays out plain files holding "old", folders ("name/") and links
// ("name->target", where a target "%/..." starts at the folder).
void LayOut(const ScratchFolder& folder, const std::vector<std::string>& entries) {
    for (const std::string& entry : entries) {
        const size_t arrow = entry.find("->");
        if (arrow != std::string::npos) {
            std::string target = entry.substr(arrow + 2);
            if (target.starts_with("%"))
                target.replace(0, 1, folder.Posix());
            fs::create_symlink(target, folder.Posix() + "/" + entry.substr(0, arrow));
        } else if (entry.ends_with("/")) {
            folder.Folder(entry);
        } else {
            folder.Write(entry, "old");
        }
    }
}

// The new bytes of a file, written and committed in one piece.
bool Replace(const std::string& path, std::string_view bytes) {
    platform::FileReplacement replacement;
    return replacement.Begin(path) && replacement.Write(bytes.data(), bytes.size()) &&
           replacement.Commit();
}

// Runs the body once for each kind of new file: unnamed until it is whole (where
// the file system has such files), and a named temporary file.
template <typename Body> void ForEachKindOfNewFile(Body body) {
    for (bool namedOnly : {false, true}) {
        platform::g_replacementTestHooks.namedTemporaryOnly = namedOnly;
        body(namedOnly ? " (named)" : " (unnamed)");
    }
    platform::g_replacementTestHooks = {};
}

// Plain files, other cases of a name, folders, FIFOs and plain links are
// covered by the command-line failure tests. `file` is the plain file that
// holds the new bytes afterwards (or still the old ones).
TEST(FileSystem, ReplacementTargets) {
    const std::string kLongName = std::string(251, 'n') + ".lut";
    const std::tuple<const char*, std::vector<std::string>, std::string, bool, std::string>
        cases[] = {
            {"longest name", {kLongName}, kLongName, true, kLongName},
            {"missing folder", {}, "nofolder\\a.look", false, ""},
            {"other drive", {}, "C:\\a.look", false, ""},
            {"device through a link", {"null.lut->/dev/null"}, "null.lut", false, ""},
            {"link to a link",
             {"real/a.lut", "linked->real", "real/b.lut->../linked/a.lut"},
             "real\\b.lut",
             true,
             "real/a.lut"},
            {"dangling link", {"real/", "d.lut->%/real/new.lut"}, "d.lut", true, "real/new.lut"},
            {"dangling link into no folder", {"g.lut->gone/x.lut"}, "g.lut", false, ""},
            {"link loop", {"l1->l2", "l2->l1"}, "l1", false, ""},
        };
    ForEachKindOfNewFile([&](const std::string& kind) {
        for (const auto& [what, entries, name, replaced, file] : cases) {
            ScratchFolder folder;
            LayOut(folder, entries);
            std::set<std::string> expected = Entries(folder);
            EXPECT_EQ(Replace(folder.Drive(name), "new"), replaced) << what << kind;
            if (!file.empty()) {
                EXPECT_EQ(folder.Read(file), replaced ? "new" : "old") << what << kind;
                expected.insert(file);
            }
            // Links stay links, and no temporary file is left.
            EXPECT_EQ(Entries(folder), expected) << what << kind;
        }
    });
}

enum class EChange { eNone, eAppear, eRewrite, eSwap, eRemove };
EChange g_changeAtRename = EChange::eNone;
std::string g_changedTarget;

// What another program does to the target while a replacement is under way.
void ChangeTheTarget() {
    const std::string swapped = g_changedTarget + ".theirs";
    switch (g_changeAtRename) {
    case EChange::eAppear:
    case EChange::eRewrite:
        std::ofstream(g_changedTarget, std::ios::binary) << "theirs, longer";
        break;
    case EChange::eSwap:
        std::ofstream(swapped, std::ios::binary) << "theirs";
        fs::rename(swapped, g_changedTarget);
        break;
    case EChange::eRemove:
        fs::remove(g_changedTarget);
        break;
    case EChange::eNone:
        break;
    }
}

// A new file takes a name only while it is free, and replaces only the file
// that was examined: a file that appears or changes meanwhile stays as it is,
// and nothing is left behind; with renames that take flags and without them.
TEST(FileSystem, ReplacementTakesOnlyTheTargetItWasGiven) {
    using enum platform::ETargetRule;
    const std::tuple<const char*, platform::ETargetRule, bool, EChange, std::string> cases[] = {
        // what, rule, a file there when examined, change at the rename, content after
        {"free name", eNothing, false, EChange::eNone, "new"},
        {"a file appears", eNothing, false, EChange::eAppear, "theirs, longer"},
        {"examined file", eSameFile, true, EChange::eNone, "new"},
        {"rewritten in place", eSameFile, true, EChange::eRewrite, "theirs, longer"},
        {"another file renamed there", eSameFile, true, EChange::eSwap, "theirs"},
        {"removed", eSameFile, true, EChange::eRemove, ""},
        {"any file", eAnything, true, EChange::eSwap, "new"},
    };
    for (bool withoutFlags : {false, true})
        ForEachKindOfNewFile([&](const std::string& kind) {
            platform::g_replacementTestHooks.withoutRenameFlags = withoutFlags;
            platform::g_replacementTestHooks.beforeRename = ChangeTheTarget;
            for (const auto& [what, rule, exists, change, after] : cases) {
                const std::string label = what + kind + (withoutFlags ? " without flags" : "");
                ScratchFolder folder;
                if (exists)
                    folder.Write("a.look", "old");
                g_changeAtRename = change;
                g_changedTarget = folder.Posix("a.look");
                const platform::TargetCondition condition{
                    rule, platform::ExamineEntry(folder.Drive("a.look")).stamp};
                platform::FileReplacement replacement;
                ASSERT_TRUE(replacement.Begin(folder.Drive("a.look"), condition) &&
                            replacement.Write("new", 3))
                    << label;
                const bool refused = after != "new";
                EXPECT_EQ(replacement.Commit(), !refused) << label;
                EXPECT_EQ(replacement.TargetChanged(), refused) << label;
                EXPECT_EQ(folder.Read("a.look"), after) << label;
                EXPECT_EQ(folder.Names(), after.empty() ? std::vector<std::string>{}
                                                        : std::vector<std::string>{"a.look"})
                    << label;
            }
        });
    // A name taken, or a file changed, before the new file is begun refuses it at once.
    ScratchFolder folder;
    folder.Write("a.look", "old");
    platform::FileReplacement replacement;
    EXPECT_FALSE(replacement.Begin(folder.Drive("a.look"), {eNothing, {}}));
    EXPECT_TRUE(replacement.TargetChanged());
    EXPECT_FALSE(replacement.Begin(folder.Drive("a.look"), {eSameFile, {}}));
    EXPECT_TRUE(replacement.TargetChanged());
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.look"});
}

// A replacement keeps what writing in place keeps (owner, group and mode bits),
// and refuses what writing in place could not do, or what would change the owner.
TEST(FileSystem, ReplacementKeepsOwnerAndMode) {
    if (!CanBecomeNobody())
        GTEST_SKIP() << "needs the superuser to act as user nobody";
    const fs::perms rw_r = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    const fs::perms readOnly = fs::perms::owner_read | fs::perms::group_read;
    const std::tuple<const char*, uid_t, fs::perms, bool, bool> cases[] = {
        {"own file", 0, rw_r, false, true},
        {"read-only, superuser", 0, readOnly, false, true},
        {"another owner, superuser", kNobody, rw_r | fs::perms::set_gid, false, true},
        {"own file, nobody", kNobody, rw_r, true, true},
        {"own read-only file, nobody", kNobody, readOnly, true, false},
        {"another owner's file, nobody", 0, rw_r, true, false},
        {"another owner's file open to all, nobody", 0, fs::perms::all, true, false},
    };
    ForEachKindOfNewFile([&](const std::string& kind) {
        for (const auto& [what, owner, mode, asNobody, replaced] : cases) {
            ScratchFolder folder;
            fs::permissions(folder.Posix(), fs::perms::all);
            folder.Write("a.look", "old");
            const std::string path = folder.Posix() + "/a.look";
            ASSERT_EQ(::chown(path.c_str(), owner, owner), 0);
            fs::permissions(path, mode);
            auto replace = [&] { return Replace(folder.Drive("a.look"), "new"); };
            EXPECT_EQ(asNobody ? RunAsNobody(replace) : replace(), replaced) << what << kind;
            EXPECT_EQ(folder.Read("a.look"), replaced ? "new" : "old") << what << kind;
            struct stat info;
            ASSERT_EQ(::stat(path.c_str(), &info), 0);
            EXPECT_EQ(std::tuple(info.st_uid, info.st_gid, info.st_mode & 07777),
                      std::tuple(owner, owner, static_cast<unsigned>(mode)))
                << what << kind;
            EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.look"}) << what << kind;
        }
    });
    // An ordinary user's new file is made as any write would make it.
    ScratchFolder folder;
    fs::permissions(folder.Posix(), fs::perms::all);
    EXPECT_TRUE(RunAsNobody([&] { return Replace(folder.Drive("b.look"), ""); }));
    EXPECT_EQ(fs::status(folder.Posix() + "/b.look").type(), fs::file_type::regular);
}

std::string HowItEnded(pid_t child) {
    int status = -1;
    if (::waitpid(child, &status, 0) != child)
        return "not waited for";
    return WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status))
                               : "exit " + std::to_string(WEXITSTATUS(status));
}

bool FileSystemHasUnnamedFiles(const ScratchFolder& folder) {
    const int descriptor = ::open(folder.Posix().c_str(), O_TMPFILE | O_WRONLY, 0600);
    return descriptor >= 0 && ::close(descriptor) == 0;
}

int g_pauseChannel = -1;

// Tells the test that the replacement got to its pause point and waits there for SIGKILL.
void PauseForTheKill() {
    const char reached = 1;
    if (::write(g_pauseChannel, &reached, 1) == 1)
        for (;;)
            ::pause();
    ::_exit(2);
}

// A process killed outright while it replaces a large file leaves the old file
// or the new one whole. With unnamed new files it leaves nothing else, but for
// the instant between naming the whole file and renaming it; with named ones it
// leaves the temporary file. The next run that replaces a file in the folder
// removes what was left.
TEST(FileSystem, AKilledReplacementLeavesNothingTheNextRunKeeps) {
    enum Pause { kAfterBegin, kMidWrite, kBeforeCommit, kAtNaming, kAfterCommit };
    const std::tuple<Pause, bool, bool, bool> cases[] = {
        // pause, left with unnamed files, left with named ones, replaced
        {kAfterBegin, false, true, false},   {kMidWrite, false, true, false},
        {kBeforeCommit, false, true, false}, {kAtNaming, true, true, false},
        {kAfterCommit, false, false, true},
    };
    const std::string chunk(1 << 20, 'n');
    constexpr int kChunks = 20; // more than two of the steps at which write-back starts
    for (bool namedOnly : {false, true}) {
        for (const auto& [pause, leftUnnamed, leftNamed, replaced] : cases) {
            const std::string what = std::to_string(pause) + (namedOnly ? " named" : " unnamed");
            ScratchFolder folder;
            folder.Write("a.look", "old");
            const bool left =
                namedOnly || !FileSystemHasUnnamedFiles(folder) ? leftNamed : leftUnnamed;
            int channel[2];
            ASSERT_EQ(::pipe(channel), 0);
            const pid_t child = ::fork();
            if (child == 0) {
                ::close(channel[0]);
                g_pauseChannel = channel[1];
                platform::g_replacementTestHooks = {namedOnly, nullptr};
                if (pause == kAtNaming)
                    platform::g_replacementTestHooks.beforeRename = PauseForTheKill;
                platform::FileReplacement replacement;
                bool going = replacement.Begin(folder.Drive("a.look"));
                auto reached = [&, pausePoint = pause](Pause point) {
                    if (going && point == pausePoint)
                        PauseForTheKill();
                };
                reached(kAfterBegin);
                for (int written = 0; going && written < kChunks; ++written) {
                    going = replacement.Write(chunk.data(), chunk.size());
                    if (written == kChunks / 2)
                        reached(kMidWrite);
                }
                reached(kBeforeCommit);
                going = going && replacement.Commit();
                reached(kAfterCommit);
                ::_exit(1);
            }
            ::close(channel[1]);
            char reached = 0;
            EXPECT_EQ(::read(channel[0], &reached, 1), 1) << what;
            ::close(channel[0]);
            // While it is written, a temporary file is held locked for other runs to leave alone.
            for (const std::string& name : folder.Names()) {
                const int descriptor = ::open(folder.Posix(name).c_str(), O_RDONLY | O_CLOEXEC);
                EXPECT_FALSE(pause < kAtNaming && name != "a.look" &&
                             ::flock(descriptor, LOCK_SH | LOCK_NB) == 0)
                    << what;
                ::close(descriptor);
            }
            ::kill(child, SIGKILL);
            EXPECT_EQ(HowItEnded(child), "signal 9") << what;

            const std::string content = folder.Read("a.look");
            EXPECT_TRUE(replaced ? content.size() == kChunks * chunk.size() &&
                                       content.find_first_not_of('n') == std::string::npos
                                 : content == "old")
                << what << ": " << content.size() << " bytes";
            std::vector<std::string> names = folder.Names();
            const std::string leftover = ".a.look.gradeshift-" + std::to_string(child) + "-";
            EXPECT_EQ(names.size(), left ? 2u : 1u) << what;
            EXPECT_TRUE(!left || (names[0].starts_with(leftover) && names[0].ends_with(".tmp")))
                << what << ": " << names[0];

            EXPECT_TRUE(Replace(folder.Drive("b.look"), "b")) << what;
            EXPECT_EQ(folder.Names(), (std::vector<std::string>{"a.look", "b.look"})) << what;
        }
    }
}

// The first replacement in a folder removes the temporary files that killed
// runs of this program left there, and no other file: not one of a process
// that still runs or that holds it (from another machine sharing the folder),
// not one of another user, not one of another name. Files replaced on several
// threads at once keep their own temporary files from each other.
TEST(FileSystem, ReplacementRemovesOnlyLeftoversOfKilledRuns) {
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ASSERT_EQ(HowItEnded(gone), "exit 0");
    const std::string dead = std::to_string(gone);
    const std::string live = std::to_string(::getpid());
    enum Kind { kOwn, kNobodys, kHeld, kFolder };
    const std::tuple<std::string, Kind, bool> cases[] = {
        // name, what it is, removed
        {".a.look.gradeshift-" + dead + "-0.tmp", kOwn, true},
        {"." + std::string(200, 'x') + ".gradeshift-" + dead + "-4294967295.tmp", kOwn, true},
        {".a.look.gradeshift-" + live + "-0.tmp", kOwn, false},
        {".a.look.gradeshift-" + dead + "-1.tmp", kNobodys, false},
        {".a.look.gradeshift-" + dead + "-2.tmp", kHeld, false},
        {".a.look.gradeshift-" + dead + "-3.tmp", kFolder, false},
        // Names of other programs, or of no program, however alike.
        {".thesis.docx." + dead + ".0.tmp", kOwn, false},
        {".a.look.gradeshifter-" + dead + "-0.tmp", kOwn, false},
        {"a.look.gradeshift-" + dead + "-0.tmp", kOwn, false},
        {".a.look.gradeshift-0" + dead + "-0.tmp", kOwn, false},
        {".a.look.gradeshift-" + dead + "-0.tmp~", kOwn, false},
        {"." + std::string(201, 'x') + ".gradeshift-" + dead + "-0.tmp", kOwn, false},
        {".gradeshift-" + dead + "-0.tmp", kOwn, false},
    };
    ScratchFolder folder;
    const std::vector<std::string> replaced = {"a.look", "b.look", "c.look", "d.look"};
    std::vector<std::string> kept = replaced;
    int held = -1;
    for (const auto& [name, kind, removed] : cases) {
        if (kind == kNobodys && !CanBecomeNobody())
            continue;
        if (kind == kFolder)
            folder.Folder(name);
        else
            folder.Write(name, "partial");
        if (kind == kNobodys) {
            ASSERT_EQ(::chown(folder.Posix(name).c_str(), kNobody, kNobodyGroup), 0);
        }
        if (kind == kHeld) {
            held = ::open(folder.Posix(name).c_str(), O_WRONLY | O_CLOEXEC);
            ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
        }
        if (!removed)
            kept.push_back(name);
    }
    platform::g_replacementTestHooks.namedTemporaryOnly = true;
    std::vector<std::thread> writers;
    for (const std::string& name : replaced)
        writers.emplace_back([&folder, name] { EXPECT_TRUE(Replace(folder.Drive(name), name)); });
    for (std::thread& writer : writers)
        writer.join();
    platform::g_replacementTestHooks = {};
    ::close(held);
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(folder.Names(), kept);
}
