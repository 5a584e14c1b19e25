#include "tool/batch_run.h"

#include "foundation/parallel_bands.h"
#include "lut/ocio_reader.h"
#include "tool/access_order.h"
#include "tool/file_flows.h"
#include "tool/output_path.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace {

// The blocks of the files, handed over in list order.
class ReportQueue {
public:
    explicit ReportQueue(size_t count) : m_reports(count) {}

    void Put(size_t index, FileReport report) {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_reports[index] = std::move(report);
        }
        m_changed.notify_all();
    }

    // How many threads put blocks, once they are all started.
    void SetConverters(size_t count) {
        Change([&] { m_converters = count; });
    }
    void ConverterEnded() {
        Change([&] { ++m_convertersEnded; });
    }

    // Waits for the block of a file; its slot then holds nothing. None when
    // every thread ended without it: the run was stopped before the file.
    std::optional<FileReport> Take(size_t index) {
        std::unique_lock<std::mutex> hold(m_lock);
        m_changed.wait(hold, [&] {
            return m_reports[index].has_value() || m_convertersEnded == m_converters;
        });
        std::optional<FileReport> report = std::move(m_reports[index]);
        m_reports[index].reset();
        return report;
    }

private:
    template <typename Update> void Change(Update update) {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            update();
        }
        m_changed.notify_all();
    }

    std::vector<std::optional<FileReport>> m_reports;
    size_t m_converters = SIZE_MAX;
    size_t m_convertersEnded = 0;
    std::mutex m_lock;
    std::condition_variable m_changed;
};

// The input that writes a file's output, when it is not the file itself.
const CVxString* OtherOwner(const std::vector<CVxString>& inputs, const std::vector<size_t>& owners,
                            size_t index) {
    return owners[index] == index ? nullptr : &inputs[owners[index]];
}

struct SharedRun {
    const std::vector<CVxString>& inputs;
    const std::vector<size_t>& owners;
    const RunEnvironment& environment;
    FileAccess& files;
    AccessOrder order;
    ReportQueue reports;
    std::atomic<size_t> next{0};
};

// The next file of the list that no thread has begun; none once the run is
// asked to stop. Files are begun in list order, so those begun are the first
// ones, and every file begun is finished.
size_t NextFile(SharedRun& run, const RunSettings& settings) {
    return StopRequested(settings.stop) ? run.inputs.size() : run.next++;
}

void ConvertFiles(SharedRun& run, const RunSettings& settings) {
    OrderedFileAccess files(run.files, run.order);
    const std::unique_ptr<FlowContext> flow = MakeFileFlow(settings, run.environment, files);
    for (size_t index = NextFile(run, settings); index < run.inputs.size();
         index = NextFile(run, settings)) {
        files.SetFile(index);
        FileReport report =
            flow->ProcessFile(run.inputs[index], OtherOwner(run.inputs, run.owners, index));
        run.order.Finish(index);
        run.reports.Put(index, std::move(report));
    }
}

} // namespace

void RunBatch(const std::vector<CVxString>& inputs, const RunSettings& settings,
              const RunEnvironment& environment, FileAccess& files,
              const std::function<void(size_t index, const FileReport& report)>& deliver) {
    OutputPlan plan =
        PlanOutputs(files, inputs, settings.cubrelMode, settings.outFolder, OutputFormat(settings));
    const std::vector<size_t>& owners = plan.owners;
    // OpenColorIO keeps every file it parses until told to forget them: cleared
    // here, once, the run reads each file as it is on disk when the run starts,
    // and a file read twice (a notice, then the render) is parsed once. Its
    // caches lock themselves, so files read through it convert at once.
    ClearOcioCaches();
    const size_t threadCount = settings.jobs < inputs.size() ? settings.jobs : inputs.size();
    if (threadCount <= 1) {
        const std::unique_ptr<FlowContext> flow = MakeFileFlow(settings, environment, files);
        for (size_t index = 0; index < inputs.size() && !StopRequested(settings.stop); ++index)
            deliver(index, flow->ProcessFile(inputs[index], OtherOwner(inputs, owners, index)));
        return;
    }
    SharedRun run{inputs,
                  owners,
                  environment,
                  files,
                  AccessOrder(std::move(plan.written)),
                  ReportQueue(inputs.size())};
    // The calling thread only waits for blocks, so the first converting thread
    // uses its core; every other one takes a spare core when there is one.
    std::vector<std::unique_ptr<RunSettings>> copies;
    std::vector<std::thread> threads;
    for (size_t thread = 0; thread < threadCount; ++thread) {
        const RunSettings* own = &settings;
        if (thread > 0) {
            copies.push_back(CopyForAnotherThread(settings));
            if (!copies.back())
                break;
            own = copies.back().get();
        }
        try {
            threads.emplace_back([&run, own, thread] {
                const uint32_t cores = thread > 0 ? TakeSpareCores(1) : 0;
                ConvertFiles(run, *own);
                ReturnSpareCores(cores);
                run.reports.ConverterEnded();
            });
        } catch (const std::system_error&) {
            break;
        }
    }
    run.reports.SetConverters(threads.size());
    // Without a thread of its own, the calling thread converts every file.
    if (threads.empty())
        ConvertFiles(run, settings);
    for (size_t index = 0; index < inputs.size(); ++index) {
        const std::optional<FileReport> report = run.reports.Take(index);
        if (!report)
            break;
        deliver(index, *report);
    }
    for (std::thread& thread : threads)
        thread.join();
}
