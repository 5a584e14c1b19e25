#include "foundation/parallel_bands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

// Every index is worked on once, in the bands that a split into threadCount gives,
// and no more threads than the cores to spare join the calling one: with none
// to spare, every band runs on the calling thread.
TEST(ParallelBandsTest, BandsCoverTheRangeOnceOnTheCoresToSpare) {
    const uint32_t allSpare = TakeSpareCores(1000);
    ReturnSpareCores(allSpare);
    for (const bool coresTaken : {false, true}) {
        const uint32_t taken = coresTaken ? TakeSpareCores(1000) : 0;
        for (const uint32_t threadCount : {1u, 2u, 3u, 7u})
            for (const uint32_t count : {0u, 1u, 5u, 100u}) {
                // A range of one index at most is one band.
                const uint32_t bands = count <= 1 ? 1 : threadCount;
                std::mutex lock;
                std::vector<int> visits(count);
                std::vector<std::thread::id> threads;
                ParallelBands(count, threadCount, [&](uint32_t band, uint32_t first, uint32_t end) {
                    std::lock_guard<std::mutex> hold(lock);
                    EXPECT_EQ(first, uint32_t(uint64_t(count) * band / bands));
                    EXPECT_EQ(end, uint32_t(uint64_t(count) * (band + 1) / bands));
                    for (uint32_t i = first; i < end; ++i)
                        ++visits[i];
                    if (std::find(threads.begin(), threads.end(), std::this_thread::get_id()) ==
                        threads.end())
                        threads.push_back(std::this_thread::get_id());
                });
                EXPECT_EQ(visits, std::vector<int>(count, 1)) << threadCount << " " << count;
                EXPECT_LE(threads.size(), coresTaken ? 1u : allSpare + 1) << threadCount;
                if (coresTaken && !threads.empty()) {
                    EXPECT_EQ(threads[0], std::this_thread::get_id());
                }
            }
        ReturnSpareCores(taken);
        EXPECT_EQ(TakeSpareCores(1000), allSpare);
        ReturnSpareCores(allSpare);
    }
}

// Loops started at once from several threads, some with loops inside their
// bands, each cover their range once, and the helpers that serve them are
// kept: all the calls together use no more threads than cores.
TEST(ParallelBandsTest, ConcurrentAndNestedLoopsShareTheKeptHelpers) {
    const uint32_t spare = TakeSpareCores(1000);
    ReturnSpareCores(spare);
    std::mutex lock;
    std::vector<std::thread::id> helpers;
    auto loop = [&](uint32_t count, bool nested) {
        std::vector<std::atomic<int>> visits(count);
        ParallelBands(count, 4, [&](uint32_t, uint32_t first, uint32_t end) {
            {
                std::lock_guard<std::mutex> hold(lock);
                if (std::find(helpers.begin(), helpers.end(), std::this_thread::get_id()) ==
                    helpers.end())
                    helpers.push_back(std::this_thread::get_id());
            }
            for (uint32_t i = first; i < end; ++i)
                ++visits[i];
            if (nested)
                ParallelBands(8, 2, [](uint32_t, uint32_t, uint32_t) {});
        });
        for (const std::atomic<int>& v : visits)
            EXPECT_EQ(v.load(), 1);
    };
    std::vector<std::thread> callers;
    for (int caller = 0; caller < 3; ++caller)
        callers.emplace_back([&, caller] {
            for (int round = 0; round < 200; ++round)
                loop(uint32_t(5 + round % 7), (round + caller) % 3 == 0);
        });
    for (std::thread& caller : callers)
        caller.join();
    EXPECT_LE(helpers.size(), 3 + spare);
    EXPECT_EQ(TakeSpareCores(1000), spare);
    ReturnSpareCores(spare);
}

// Helpers started ahead, however often, are the kept ones that loops then use:
// the process never has more threads than the caller and a helper a core to spare.
TEST(ParallelBandsTest, HelpersStartedAheadAreTheKeptOnes) {
    const uint32_t spare = TakeSpareCores(1000);
    ReturnSpareCores(spare);
    auto threadsOfProcess = [] {
        size_t count = 0;
        for ([[maybe_unused]] const auto& task :
             std::filesystem::directory_iterator("/proc/self/task"))
            ++count;
        return count;
    };
    for (int round = 0; round < 20; ++round) {
        StartHelpersAhead();
        ParallelBands(64, 8, [](uint32_t, uint32_t, uint32_t) {});
    }
    EXPECT_LE(threadsOfProcess(), size_t(1 + spare));
}

// When the calling thread's band throws, the helpers' bands still end before
// the exception leaves the loop, which is then ready for the next.
TEST(ParallelBandsTest, AnExceptionInTheCallersBandWaitsForTheHelpers) {
    const std::thread::id caller = std::this_thread::get_id();
    for (int round = 0; round < 20; ++round) {
        std::atomic<int> helperBands{0}, helperBandsEnded{0};
        bool thrown = false;
        try {
            ParallelBands(8, 8, [&](uint32_t, uint32_t, uint32_t) {
                if (std::this_thread::get_id() == caller)
                    throw std::runtime_error("band");
                ++helperBands;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                ++helperBandsEnded;
            });
        } catch (const std::runtime_error&) {
            thrown = true;
        }
        EXPECT_TRUE(thrown);
        EXPECT_EQ(helperBandsEnded.load(), helperBands.load());
    }
}

// Whether a loop of two bands that wait for each other (2 s at most) ran them
// on two threads at once.
bool TwoBandsMeet() {
    std::atomic<int> arrived{0}, met{0};
    ParallelBands(2, 2, [&](uint32_t, uint32_t, uint32_t) {
        ++arrived;
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (arrived < 2 && std::chrono::steady_clock::now() < give_up)
            std::this_thread::yield();
        met += arrived == 2;
    });
    return met == 2;
}

// The child of a fork, which holds none of its parent's helper threads, starts
// helpers of its own. The parent's helper has run before the fork, so that no
// thread is half started then. (ThreadSanitizer refuses threads after a fork.)
#if !defined(__SANITIZE_THREAD__)
TEST(ParallelBandsTest, AForkedChildStartsHelpersOfItsOwn) {
    const uint32_t spare = TakeSpareCores(1000);
    ReturnSpareCores(spare);
    if (spare == 0)
        GTEST_SKIP() << "one core: no helpers to start";
    ASSERT_TRUE(TwoBandsMeet());
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(TwoBandsMeet() ? 0 : 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}
#endif

// Chunks are handed on in order, each from the slot it was made in, and a
// chunk is made only after the one two before it was handed on; a consumer
// that stops ends the making too.
TEST(PipelineChunksTest, HandsOnEveryChunkInOrderUntilTheConsumerStops) {
    for (const size_t count : {size_t(0), size_t(1), size_t(2), size_t(50)}) {
        for (const size_t stopAt : {count, count / 2}) {
            std::mutex lock;
            std::vector<size_t> made, taken;
            size_t slots[2] = {SIZE_MAX, SIZE_MAX};
            const bool finished = PipelineChunks(
                count,
                [&](size_t chunk, int slot) {
                    std::lock_guard<std::mutex> hold(lock);
                    EXPECT_EQ(slot, int(chunk % 2));
                    EXPECT_GE(taken.size() + 2, chunk + 1) << "made too early";
                    made.push_back(chunk);
                    slots[slot] = chunk;
                },
                [&](size_t chunk, int slot) {
                    std::lock_guard<std::mutex> hold(lock);
                    EXPECT_EQ(slots[slot], chunk);
                    taken.push_back(chunk);
                    return chunk != stopAt;
                });
            EXPECT_EQ(finished, stopAt == count) << count;
            const size_t handedOn = std::min(count, stopAt + 1);
            EXPECT_EQ(taken.size(), handedOn) << count;
            for (size_t i = 0; i < taken.size(); ++i)
                EXPECT_EQ(taken[i], i);
            EXPECT_LE(made.size(), std::min(count, handedOn + 1)) << count;
        }
    }
}

} // namespace
