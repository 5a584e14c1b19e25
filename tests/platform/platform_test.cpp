#include "platform/directory_search.h"
#include "platform/file_system.h"
#include "platform/path_mapping.h"

#include "../support/run_as_nobody.h"
#include "../support/scratch_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <set>
#include <sys/stat.h>
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
        {"missing\\new.look", true, false, ""},
    };
    for (const auto& [relative, allowMissingLeaf, found, resolved] : cases) {
        std::string posix;
        EXPECT_EQ(platform::ResolvePath(folder.Drive(relative), posix, allowMissingLeaf), found)
            << relative;
        EXPECT_EQ(posix, found ? folder.Posix() + "/" + resolved : "") << relative;
    }
}

TEST(DirectorySearch, ListingOrder) {
    ScratchFolder folder;
    for (const char* name : {"b", "_x", "a1", "A", ".hidden"})
        folder.Write(name, "");
    folder.Folder("Sub");
    platform::DirectorySearch search;
    ASSERT_TRUE(search.Open(folder.Drive()));
    std::vector<std::string> names; // folders marked with "/"
    while (const platform::DirectoryEntry* entry = search.Next())
        names.push_back(entry->name + (entry->isDirectory ? "/" : ""));
    EXPECT_EQ(names,
              (std::vector<std::string>{"./", "../", ".hidden", "A", "a1", "b", "Sub/", "_x"}));

    platform::DirectorySearch root;
    ASSERT_TRUE(root.Open("Z:\\"));
    ASSERT_NE(root.Next(), nullptr);
    platform::DirectorySearch root2;
    root2.Open("\\");
    EXPECT_NE(root2.Next()->name, ".");
    EXPECT_FALSE(platform::DirectorySearch().Open("C:\\"));
    EXPECT_FALSE(platform::DirectorySearch().Open(folder.Drive("b")));
}

TEST(FileSystem, OpenSizeAndFolders) {
    ScratchFolder folder;
    folder.Write("Data.BIN", "12345");
    EXPECT_TRUE(platform::IsFolder(folder.Drive()));
    EXPECT_FALSE(platform::IsFolder(folder.Drive("Data.BIN")));
    EXPECT_EQ(platform::OpenStream(folder.Drive(), "rb"), nullptr);
    EXPECT_EQ(platform::OpenStream(folder.Drive("none"), "rb"), nullptr);
    // Opening a FIFO would wait for a writer; only plain files are opened.
    ::mkfifo((folder.Posix() + "/pipe").c_str(), 0666);
    EXPECT_EQ(platform::OpenStream(folder.Drive("pipe"), "rb"), nullptr);
    EXPECT_EQ(platform::OpenStream("Z:\\dev\\null", "wb"), nullptr);

    FILE* stream = platform::OpenStream(folder.Drive("DATA.bin"), "wt");
    ASSERT_NE(stream, nullptr);
    std::fputs("a\nb", stream);
    std::fclose(stream);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"Data.BIN", "pipe"}));
    EXPECT_EQ(folder.Read("Data.BIN"), "a\nb");
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
    for (const auto& [what, entries, name, replaced, file] : cases) {
        ScratchFolder folder;
        LayOut(folder, entries);
        std::set<std::string> expected = Entries(folder);
        EXPECT_EQ(Replace(folder.Drive(name), "new"), replaced) << what;
        if (!file.empty()) {
            EXPECT_EQ(folder.Read(file), replaced ? "new" : "old") << what;
            expected.insert(file);
        }
        // Links stay links, and no temporary file is left.
        EXPECT_EQ(Entries(folder), expected) << what;
    }
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
    for (const auto& [what, owner, mode, asNobody, replaced] : cases) {
        ScratchFolder folder;
        fs::permissions(folder.Posix(), fs::perms::all);
        folder.Write("a.look", "old");
        const std::string path = folder.Posix() + "/a.look";
        ASSERT_EQ(::chown(path.c_str(), owner, owner), 0);
        fs::permissions(path, mode);
        auto replace = [&] { return Replace(folder.Drive("a.look"), "new"); };
        EXPECT_EQ(asNobody ? RunAsNobody(replace) : replace(), replaced) << what;
        EXPECT_EQ(folder.Read("a.look"), replaced ? "new" : "old") << what;
        struct stat info;
        ASSERT_EQ(::stat(path.c_str(), &info), 0);
        EXPECT_EQ(std::tuple(info.st_uid, info.st_gid, info.st_mode & 07777),
                  std::tuple(owner, owner, static_cast<unsigned>(mode)))
            << what;
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.look"}) << what;
    }
    // An ordinary user's new file is made as any write would make it.
    ScratchFolder folder;
    fs::permissions(folder.Posix(), fs::perms::all);
    EXPECT_TRUE(RunAsNobody([&] { return Replace(folder.Drive("b.look"), ""); }));
    EXPECT_EQ(fs::status(folder.Posix() + "/b.look").type(), fs::file_type::regular);
}

// An interruption removes the temporary file of a replacement under way and
// still ends the process by its signal; an ignored signal stays ignored.
TEST(FileSystem, InterruptionRemovesTheTemporaryFile) {
    for (const auto& [signalNumber, ignoredBefore] :
         {std::pair{SIGINT, false}, {SIGTERM, false}, {SIGHUP, false}, {SIGTERM, true}}) {
        ScratchFolder folder;
        folder.Write("a.look", "old");
        const pid_t child = ::fork();
        if (child == 0) {
            ::signal(signalNumber, ignoredBefore ? SIG_IGN : SIG_DFL);
            platform::InstallReplacementSignalHandlers();
            {
                platform::FileReplacement replacement;
                if (!replacement.Begin(folder.Drive("a.look")) || !replacement.Write("new", 3) ||
                    folder.Names().size() != 2)
                    ::_exit(1);
                ::raise(signalNumber);
            }
            ::_exit(0);
        }
        int status = -1;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        const std::string ended = WIFSIGNALED(status)
                                      ? "signal " + std::to_string(WTERMSIG(status))
                                      : "exit " + std::to_string(WEXITSTATUS(status));
        EXPECT_EQ(ended, ignoredBefore ? "exit 0" : "signal " + std::to_string(signalNumber));
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.look"}) << signalNumber;
        EXPECT_EQ(folder.Read("a.look"), "old");
    }
}
