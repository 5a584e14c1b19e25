#pragma once

// Whole runs of the program set against a peer run (another tool doing the
// same job, or a plain write of the same bytes), the two taken in turn in
// every iteration so that both meet the same load on a shared machine. The
// best time of each is kept, and their ratio is reported as "x_" + the peer's
// name, beside "best_ms" and the peer's "<name>_ms".

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>

struct SideBySideTimes {
    double best = 1e30;
    double peerBest = 1e30;
};

// Each of `run` and `peer` returns false when it failed, which ends the
// benchmark; `prepare`, untimed, readies every round (a fresh input, say).
template <typename Prepare, typename Run, typename Peer>
bool TimeSideBySide(benchmark::State& state, Prepare prepare, Run run, Peer peer,
                    SideBySideTimes& times) {
    auto timed = [](auto& job, double& best) {
        const auto start = std::chrono::steady_clock::now();
        if (!job())
            return false;
        const auto end = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double>(end - start).count());
        return true;
    };
    for (auto _ : state) {
        prepare();
        if (!timed(peer, times.peerBest) || !timed(run, times.best)) {
            state.SkipWithError("a run failed");
            return false;
        }
    }
    return true;
}

inline void ReportSideBySide(benchmark::State& state, const SideBySideTimes& times,
                             const std::string& peerName) {
    state.counters["best_ms"] = times.best * 1e3;
    state.counters[peerName + "_ms"] = times.peerBest * 1e3;
    state.counters["x_" + peerName] = times.best / times.peerBest;
}
