#include "tool/batch_run.h"

#include "foundation/parallel_bands.h"
#include "foundation/paths.h"
#include "platform/access_gate.h"
#include "tool/file_flows.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace {

// Files run at once must leave the same files and messages as files run one
// after the other. A file's conversion writes exactly one file: NAME.lut beside
// it in Cubrel mode, NAME.look in rebuild mode (NAME being its own base name);
// what it reads is not known before it runs (a look names LUT files that are
// looked up in several folders). Every access to a path passes through the
// gate of the thread's file, and the gate holds it back so that:
// - a read (lookup, open, existence test) of a name waits until every earlier
//   file that writes a file of that name, in any folder and letter case, is
//   finished, so it sees what it would have seen one file after the other;
// - a listing waits in the same way for every earlier file whose written name
//   matches the listing's pattern;
// - a write waits until every earlier file is finished or has begun to write,
//   so no earlier file can see it: a conversion writes its one output last and
//   reads nothing once it has begun to write it.
// Every wait is on earlier files only, and files are started in list order, so
// the earliest unfinished file never waits and the run always moves on, as long
// as no file waits while it holds something that an earlier file needs: the
// set-ups made once per process on first use (the LUT folder index, the shader
// registry) are therefore made before the files start, and the lock that files
// take turns at OpenColorIO with is taken only once a path is resolved.
class FileOrder {
public:
    FileOrder(const std::vector<CVxString>& files, bool cubrelMode) {
        m_written.reserve(files.size());
        for (const CVxString& path : files) {
            CVxString baseName;
            SplitPath(path, nullptr, nullptr, &baseName, nullptr);
            baseName += cubrelMode ? ".lut" : ".look";
            m_written.push_back(baseName);
        }
        m_reports.resize(files.size());
        m_writing.resize(files.size());
    }

    // The next file to start, or none when every file is started.
    std::optional<size_t> Start() {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_started == m_written.size())
            return std::nullopt;
        return m_started++;
    }

    void Finish(size_t index, FileReport report) {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_reports[index] = std::move(report);
            while (m_finished < m_reports.size() && m_reports[m_finished])
                ++m_finished;
        }
        m_changed.notify_all();
    }

    // Waits for the block of a file; the file's slot then holds nothing.
    FileReport Take(size_t index) {
        std::unique_lock<std::mutex> hold(m_lock);
        m_changed.wait(hold, [&] { return m_reports[index].has_value(); });
        FileReport report = std::move(*m_reports[index]);
        m_reports[index].reset();
        return report;
    }

    void Before(size_t index, std::string_view name, platform::EAccess access) {
        const CVxString text(name.data(), static_cast<uint32_t>(name.size()));
        std::unique_lock<std::mutex> hold(m_lock);
        m_changed.wait(hold, [&] {
            if (access == platform::EAccess::eWrite) {
                for (size_t earlier = m_finished; earlier < index; ++earlier)
                    if (!m_reports[earlier] && !m_writing[earlier])
                        return false;
                m_writing[index] = true;
                return true;
            }
            // A block is only taken once every file up to it is finished.
            for (size_t earlier = m_finished; earlier < index; ++earlier) {
                if (m_reports[earlier])
                    continue;
                const CVxString& written = m_written[earlier];
                if (access == platform::EAccess::eList ? written.MatchesWildcards(text)
                                                       : written.EqualsNoCase(text.c_str()))
                    return false;
            }
            return true;
        });
        // A file that begins to write lets the next one write too.
        if (access == platform::EAccess::eWrite) {
            hold.unlock();
            m_changed.notify_all();
        }
    }

private:
    std::vector<CVxString> m_written;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::optional<FileReport>> m_reports;
    size_t m_started = 0;
    std::vector<bool> m_writing; // the file has begun to write its output
    size_t m_finished = 0;       // every file before it is finished
};

class FileGate final : public platform::AccessGate {
public:
    explicit FileGate(FileOrder& order) : m_order(order) {}
    void Before(std::string_view name, platform::EAccess access) override {
        m_order.Before(m_index, name, access);
    }
    void SetFile(size_t index) { m_index = index; }

private:
    FileOrder& m_order;
    size_t m_index = 0;
};

void ConvertFiles(const std::vector<CVxString>& files, const RunSettings& settings,
                  FileOrder& order) {
    FileFlows flows(settings);
    FileGate gate(order);
    platform::SetThreadAccessGate(&gate);
    while (const std::optional<size_t> index = order.Start()) {
        gate.SetFile(*index);
        order.Finish(*index, flows.ProcessFile(files[*index]));
    }
    platform::SetThreadAccessGate(nullptr);
}

} // namespace

void RunBatch(const std::vector<CVxString>& files, const RunSettings& settings,
              const std::function<void(size_t index, const FileReport& report)>& deliver) {
    const size_t threadCount = settings.jobs < files.size() ? settings.jobs : files.size();
    FileOrder order(files, settings.cubrelMode);
    // The calling thread only waits for blocks, so the first converting thread
    // uses its core; every other one takes a spare core when there is one.
    std::vector<std::unique_ptr<RunSettings>> copies;
    std::vector<std::thread> threads;
    for (size_t thread = 0; threadCount > 1 && thread < threadCount; ++thread) {
        const RunSettings* own = &settings;
        if (thread > 0) {
            copies.push_back(CopyForAnotherThread(settings));
            if (!copies.back())
                break;
            own = copies.back().get();
        }
        try {
            threads.emplace_back([&files, own, &order, thread] {
                const uint32_t cores = thread > 0 ? TakeSpareCores(1) : 0;
                ConvertFiles(files, *own, order);
                ReturnSpareCores(cores);
            });
        } catch (const std::system_error&) {
            break;
        }
    }
    if (threads.empty()) {
        FileFlows flows(settings);
        for (size_t index = 0; index < files.size(); ++index)
            deliver(index, flows.ProcessFile(files[index]));
        return;
    }
    for (size_t index = 0; index < files.size(); ++index)
        deliver(index, order.Take(index));
    for (std::thread& thread : threads)
        thread.join();
}
