#include "foundation/parallel_bands.h"

#include "platform/environment.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace {

int CoresToSpare() {
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    return cores > 1 ? cores - 1 : 0;
}

std::atomic<int>& SpareCores() {
    static std::atomic<int> spare{CoresToSpare()};
    return spare;
}

bool ProduceAndConsumeInTurn(size_t count, const std::function<void(size_t, int)>& produce,
                             const std::function<bool(size_t, int)>& consume) {
    for (size_t chunk = 0; chunk < count; ++chunk) {
        produce(chunk, 0);
        if (!consume(chunk, 0))
            return false;
    }
    return true;
}

// How far the two sides of a pipeline are: chunks made, chunks handed on, and
// whether the consumer stopped.
struct PipelineProgress {
    std::mutex lock;
    std::condition_variable changed;
    size_t made = 0;
    size_t taken = 0;
    bool stopped = false;
};

void MakeChunks(PipelineProgress& progress, size_t count,
                const std::function<void(size_t, int)>& produce) {
    for (size_t chunk = 0; chunk < count; ++chunk) {
        {
            std::unique_lock<std::mutex> hold(progress.lock);
            progress.changed.wait(hold,
                                  [&] { return progress.stopped || chunk < progress.taken + 2; });
            if (progress.stopped)
                return;
        }
        produce(chunk, static_cast<int>(chunk % 2));
        {
            const std::lock_guard<std::mutex> hold(progress.lock);
            progress.made = chunk + 1;
        }
        progress.changed.notify_all();
    }
}

bool TakeChunks(PipelineProgress& progress, size_t count,
                const std::function<bool(size_t, int)>& consume) {
    bool taken = true;
    for (size_t chunk = 0; chunk < count && taken; ++chunk) {
        {
            std::unique_lock<std::mutex> hold(progress.lock);
            progress.changed.wait(hold, [&] { return progress.made > chunk; });
        }
        taken = consume(chunk, static_cast<int>(chunk % 2));
        {
            const std::lock_guard<std::mutex> hold(progress.lock);
            progress.taken = chunk + 1;
            progress.stopped = !taken;
        }
        progress.changed.notify_all();
    }
    return taken;
}

// Helper threads kept for the whole run: a parallel loop hands its helpers'
// share to threads that wait here, since starting a thread costs more than a
// small loop gains (a fresh thread's stack and its first pages, on every
// loop). A thread is started only when none waits; none ever ends, and the
// pool is never destroyed, so that no thread outlives what it waits on.
class HelperPool {
public:
    static HelperPool& Shared() {
        static HelperPool* const pool = [] {
            platform::ResetInForkedChild(&HelperPool::ForgetHelpersInChild);
            return new HelperPool();
        }();
        return *pool;
    }

    // One call's share for the helpers: run by up to `offered` of them.
    struct Job {
        const std::function<void()>* work = nullptr;
        uint32_t offered = 0; // still waiting to be taken
        uint32_t running = 0;
        std::condition_variable finished;
    };

    // Offers the job to `count` helpers, starting threads where too few wait.
    void Offer(Job& job, uint32_t count) {
        std::lock_guard<std::mutex> hold(m_lock);
        job.offered = count;
        m_offers.push_back(&job);
        while (m_waiting + m_started < m_offeredInAll + count && StartHelper())
            ++m_started;
        m_offeredInAll += count;
        m_wake.notify_all();
    }

    // Withdraws what no helper took (the caller has done the work) and waits
    // for those that did take it.
    void Finish(Job& job) {
        std::unique_lock<std::mutex> hold(m_lock);
        m_offeredInAll -= job.offered;
        job.offered = 0;
        std::erase(m_offers, &job);
        job.finished.wait(hold, [&] { return job.running == 0; });
    }

    // Starts helpers until `count` are started or waiting.
    void StartUpTo(uint32_t count) {
        std::lock_guard<std::mutex> hold(m_lock);
        while (m_waiting + m_started < count && StartHelper())
            ++m_started;
    }

private:
    // The child of a fork has none of the helpers, nor the threads that held
    // cores or offered work: it begins anew, starting helpers of its own. The
    // lock may have been held by a thread that the child lacks, and the list
    // of offers may have been half changed: both are made afresh.
    static void ForgetHelpersInChild() {
        HelperPool& pool = Shared();
        new (&pool.m_lock) std::mutex();
        new (&pool.m_wake) std::condition_variable();
        new (&pool.m_offers) std::vector<Job*>();
        pool.m_offeredInAll = pool.m_waiting = pool.m_started = 0;
        SpareCores().store(CoresToSpare());
    }

    bool StartHelper() {
        try {
            std::thread(&HelperPool::Serve, this).detach();
            return true;
        } catch (const std::system_error&) {
            return false;
        }
    }

    void Serve() {
        std::unique_lock<std::mutex> hold(m_lock);
        --m_started;
        for (;;) {
            ++m_waiting;
            m_wake.wait(hold, [&] { return !m_offers.empty(); });
            --m_waiting;
            Job& job = *m_offers.front();
            if (--job.offered == 0)
                m_offers.erase(m_offers.begin());
            --m_offeredInAll;
            ++job.running;
            hold.unlock();
            (*job.work)();
            hold.lock();
            if (--job.running == 0 && job.offered == 0)
                job.finished.notify_all();
        }
    }

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::vector<Job*> m_offers;
    uint32_t m_offeredInAll = 0; // helpers' shares offered and not yet taken
    uint32_t m_waiting = 0;      // helpers waiting for a share
    uint32_t m_started = 0;      // helpers started that have not yet begun to wait
};

} // namespace

uint32_t DefaultThreadCount() {
    const uint32_t cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : (cores > 8 ? 8 : cores);
}

uint32_t TakeSpareCores(uint32_t wanted) {
    std::atomic<int>& spare = SpareCores();
    int available = spare.load();
    int taken = 0;
    do {
        taken = available < static_cast<int>(wanted) ? available : static_cast<int>(wanted);
        if (taken <= 0)
            return 0;
    } while (!spare.compare_exchange_weak(available, available - taken));
    return static_cast<uint32_t>(taken);
}

void ReturnSpareCores(uint32_t count) {
    SpareCores().fetch_add(static_cast<int>(count));
}

void ParallelBands(uint32_t count, uint32_t threadCount,
                   const std::function<void(uint32_t, uint32_t, uint32_t)>& work) {
    if (threadCount <= 1 || count <= 1) {
        work(0, 0, count);
        return;
    }
    auto bandStart = [&](uint32_t band) { return uint32_t(uint64_t(count) * band / threadCount); };
    std::atomic<uint32_t> nextBand{0};
    auto takeBands = [&] {
        for (uint32_t band = nextBand++; band < threadCount; band = nextBand++)
            work(band, bandStart(band), bandStart(band + 1));
    };
    const uint32_t cores = TakeSpareCores(threadCount - 1);
    if (cores == 0) {
        takeBands();
        return;
    }
    const std::function<void()> helperShare = takeBands;
    HelperPool::Job job;
    job.work = &helperShare;
    HelperPool& pool = HelperPool::Shared();
    pool.Offer(job, cores);
    // The helpers use the job and the bands' state until they are done, also
    // when the caller's own bands end in an exception.
    struct Finishing {
        HelperPool& pool;
        HelperPool::Job& job;
        uint32_t cores;
        ~Finishing() {
            pool.Finish(job);
            ReturnSpareCores(cores);
        }
    } finishing{pool, job, cores};
    takeBands();
}

void StartHelpersAhead() {
    // A loop of DefaultThreadCount() bands takes one helper a core to spare.
    const uint32_t helpers = std::min(uint32_t(CoresToSpare()), DefaultThreadCount() - 1);
    if (helpers > 0)
        HelperPool::Shared().StartUpTo(helpers);
}

bool PipelineChunks(size_t count, const std::function<void(size_t, int)>& produce,
                    const std::function<bool(size_t, int)>& consume) {
    if (count <= 1)
        return ProduceAndConsumeInTurn(count, produce, consume);
    PipelineProgress progress;
    std::thread maker;
    try {
        maker = std::thread(MakeChunks, std::ref(progress), count, std::cref(produce));
    } catch (const std::system_error&) {
        return ProduceAndConsumeInTurn(count, produce, consume);
    }
    const bool taken = TakeChunks(progress, count, consume);
    maker.join();
    return taken;
}
