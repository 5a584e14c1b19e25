// A batch keeps files in order by the file each really reaches: the files and
// blocks of every job count are those of one job, over a file system in memory
// whose reads of chosen files are slow, so that later files run ahead.

#include "foundation/paths.h"
#include "tool/batch_run.h"
#include "tool/run_environment.h"

#include "../support/look_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

namespace {

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), ::toupper);
    return text;
}

// Files and symbolic links in memory, under POSIX paths; the working folder is
// /w. Names match without regard to case, as the platform's do.
class MemoryFiles final : public FileAccess {
public:
    inline static const FileStatus kMissing = FileStatus::SystemError(ENOENT);

    std::map<std::string, std::string> files;
    std::map<std::string, std::string> links;
    std::map<std::string, int> slowReads; // milliseconds a read of the file takes
    std::string slowFirstWrite;           // the first replacement of this file is slow
    std::map<std::string, int> reads;     // reads of each file's bytes, whole or its head

    FileStatus ReadFile(const CVxString& path, CVxString& bytes, uint32_t) override {
        const std::string* content = Find(path, true);
        if (!content)
            return kMissing;
        const uint32_t length = uint32_t(content->size());
        std::copy_n(content->data(), length, bytes.GetBuffer(length));
        bytes.SetLength(length);
        return {};
    }
    FileStatus ReadHead(const CVxString& path, void* buffer, size_t size) override {
        const std::string* content = Find(path, true);
        if (!content)
            return kMissing;
        if (content->size() < size)
            return FileStatus::Refusal("shorter than " + std::to_string(size) + " bytes");
        std::copy_n(content->data(), size, static_cast<char*>(buffer));
        return {};
    }
    FileStatus ListFolder(const CVxString& pattern, bool,
                          std::vector<FolderEntry>& entries) override {
        std::lock_guard<std::mutex> hold(m_lock);
        const std::string folder = Upper(Posix(FolderOf(pattern)));
        entries.clear();
        for (const auto& [path, content] : files) {
            const size_t slash = path.rfind('/');
            const CVxString name(path.substr(slash + 1).c_str());
            if (Upper(path.substr(0, slash + 1)) == folder &&
                name.MatchesWildcards(FileNameOf(pattern)))
                entries.push_back({name, FolderOf(pattern) + name, false});
        }
        return {};
    }
    PathState Examine(const CVxString& path) override {
        PathState state;
        state.kind = Find(path) ? EPathKind::eFile : EPathKind::eMissing;
        return state;
    }
    std::unique_ptr<FileOutput> StartReplacement(const CVxString& path, const PathState*) override {
        std::lock_guard<std::mutex> hold(m_lock);
        return std::make_unique<Output>(*this, Real(Posix(path)));
    }
    FileStatus Append(const CVxString&, const void*, size_t) override {
        return FileStatus::SystemError(EROFS);
    }
    FileStatus FolderWriteStatus(const CVxString&) override { return {}; }
    FileStatus SystemPath(const CVxString&, std::string&) override { return kMissing; }
    std::string Identity(const CVxString& path) override {
        std::lock_guard<std::mutex> hold(m_lock);
        return Upper(Real(Posix(path)));
    }

private:
    class Output final : public FileOutput {
    public:
        Output(MemoryFiles& owner, std::string path) : m_owner(owner), m_path(std::move(path)) {}
        bool Append(const void* data, size_t size) override {
            m_bytes.append(static_cast<const char*>(data), size);
            return true;
        }
        bool Commit() override {
            bool slow = false;
            {
                std::lock_guard<std::mutex> hold(m_owner.m_lock);
                slow = m_owner.slowFirstWrite == m_path;
                if (slow)
                    m_owner.slowFirstWrite.clear();
            }
            if (slow)
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
            std::lock_guard<std::mutex> hold(m_owner.m_lock);
            m_owner.files[m_path] = m_bytes;
            return true;
        }

    private:
        MemoryFiles& m_owner;
        std::string m_path;
        std::string m_bytes;
    };

    // The absolute path with slashes, without "." elements.
    static std::string Posix(const CVxString& path) {
        std::string text(path.c_str());
        std::replace(text.begin(), text.end(), '\\', '/');
        if (text.size() >= 2 && text[1] == ':')
            text.erase(0, 2);
        if (text.empty() || text[0] != '/')
            text = "/w/" + text;
        for (size_t dot; (dot = text.find("/./")) != std::string::npos;)
            text.erase(dot, 2);
        return text;
    }

    // After links, with the letter case of a file that exists; under the lock.
    std::string Real(std::string path) const {
        for (const auto& [link, target] : links)
            if (Upper(link) == Upper(path))
                path = target;
        for (const auto& [existing, content] : files)
            if (Upper(existing) == Upper(path))
                return existing;
        return path;
    }

    const std::string* Find(const CVxString& path, bool read = false) {
        std::string real;
        int delay = 0;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            real = Real(Posix(path));
            reads[real] += read ? 1 : 0;
            if (const auto slow = slowReads.find(real); slow != slowReads.end())
                delay = slow->second;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        std::lock_guard<std::mutex> hold(m_lock);
        const auto found = files.find(real);
        return found == files.end() ? nullptr : &found->second;
    }

    std::mutex m_lock;
};

const std::string kDark2 = "LUT_3D_SIZE 2\n0 0 0\n.2 0 0\n0 .2 0\n.2 .2 0\n0 0 .2\n.2 0 .2\n"
                           "0 .2 .2\n.2 .2 .2\n";

// A Cubrel LUT that a conversion made before: a LUT file under another
// extension may replace it.
const std::string kOldCubrel = "3LUT from an earlier run";

struct Outcome {
    std::string blocks;
    std::map<std::string, std::string> files;
};

Outcome RunOver(const MemoryFiles& start, const std::vector<std::string>& inputs, bool cubrel,
                uint32_t size, uint32_t jobs, std::map<std::string, int>* reads = nullptr) {
    MemoryFiles files;
    files.files = start.files;
    files.links = start.links;
    files.slowReads = start.slowReads;
    files.slowFirstWrite = start.slowFirstWrite;
    RunSettings settings;
    settings.cubrelMode = cubrel;
    settings.size = size;
    settings.jobs = jobs;
    EXPECT_TRUE(PrepareCubrelBuffer(settings));
    const RunEnvironment environment(files);
    std::vector<CVxString> paths;
    for (const std::string& input : inputs)
        paths.emplace_back(input.c_str());
    Outcome outcome;
    RunBatch(paths, settings, environment, files,
             [&](size_t, const FileReport& report) { outcome.blocks += report.Text(); });
    outcome.files = files.files;
    if (reads)
        *reads = files.reads;
    return outcome;
}

TEST(BatchOrder, EveryJobCountReachesTheFilesOfOneJob) {
    // Where the installation's user settings are looked for: the LUT folder is /luts.
    const CVxString userSettings = ParentFolder(ProgramFolder()) + "settings\\Utility_Settings.xml";
    std::string settingsPath = std::string(userSettings.c_str()).substr(2);
    std::replace(settingsPath.begin(), settingsPath.end(), '\\', '/');
    const struct {
        const char* label;
        bool cubrel;
        uint32_t size;
        std::map<std::string, std::string> files;
        std::map<std::string, std::string> links;
        std::vector<std::string> inputs;
        std::string slow;
    } cases[] = {
        {"two inputs write a.lut, the first slow to read",
         true,
         9,
         {{"/w/a.lut", kDark2}, {"/w/a.look", BaseLook(Parameter("Gain.X", "0.5"))}},
         {},
         {"a.lut", "a.look"},
         "/w/a.lut"},
        {"a look through a link, then its target",
         false,
         8,
         {{"/w/x.look", BaseLook(Parameter("Gain.X", "0.5"), StoredLut(0.5f, 2))}},
         {{"/w/a.look", "/w/x.look"}},
         {"a.look", "x.look"},
         "/w/x.look"},
        {"a LUT read under other spellings after a slow write of it",
         true,
         9,
         {{"/w/a.cube", kDark2},
          {"/w/a.lut", kOldCubrel},
          {"/w/b.look", BaseLook(Parameter("BaseLUT", "./A.LUT"))},
          {"/w/c.look", BaseLook(Parameter("BaseLUT", "Z:\\w\\a.lut"))},
          {"/w/d.look", BaseLook(Parameter("BaseLUT", "a.LUT"))}},
         {},
         {"a.cube", "b.look", "./c.look", "Z:\\w\\D.LOOK"},
         "/w/a.cube"},
        {"a LUT found through a LUT folder",
         true,
         9,
         {{settingsPath, "<values><ColorTransforms><LUTPath1>\"Z:\\luts\\\"</LUTPath1>"
                         "</ColorTransforms></values>"},
          {"/luts/g.cube", kDark2},
          {"/luts/g.lut", kOldCubrel},
          {"/w/e.look", BaseLook(Parameter("BaseLUT", "g.lut"))}},
         {},
         {"Z:\\luts\\g.cube", "e.look"},
         "/luts/g.cube"},
    };
    for (const auto& c : cases) {
        MemoryFiles start;
        start.files = c.files;
        start.links = c.links;
        start.slowReads[c.slow] = 300;
        start.slowFirstWrite = "/w/a.lut";
        const Outcome one = RunOver(start, c.inputs, c.cubrel, c.size, 1);
        const Outcome many = RunOver(start, c.inputs, c.cubrel, c.size, 3);
        EXPECT_EQ(many.blocks, one.blocks) << c.label;
        EXPECT_TRUE(many.files == one.files) << c.label;
        EXPECT_EQ(one.blocks.find("rror"), std::string::npos) << c.label << one.blocks;
    }
}

// A conversion reads its input once: what it decides from the first bytes
// and what it loads come from one read, whatever the outcome.
TEST(BatchOrder, EachInputIsReadOnce) {
    MemoryFiles start;
    start.files = {{"/w/a.cube", kDark2},
                   {"/w/b.lut", kCube2},
                   {"/w/c.lut", kOldCubrel},
                   {"/w/e.lut", ""},
                   {"/w/x.look", BaseLook(Parameter("Gain.X", "0.5"))}};
    const std::pair<bool, std::vector<std::string>> runs[] = {
        {true, {"a.cube", "b.lut", "c.lut", "e.lut", "x.look"}},
        {false, {"a.cube", "b.lut", "e.lut", "x.look"}},
    };
    for (const auto& [cubrel, inputs] : runs) {
        std::map<std::string, int> reads;
        const Outcome outcome = RunOver(start, inputs, cubrel, cubrel ? 9 : 8, 1, &reads);
        for (const std::string& input : inputs)
            EXPECT_EQ(reads["/w/" + input], 1)
                << input << (cubrel ? " -cubrel\n" : "\n") << outcome.blocks;
    }
}

} // namespace
