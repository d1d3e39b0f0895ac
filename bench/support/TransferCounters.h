#pragma once
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>

namespace nox_bench {

enum class Transfer { kRead, kWrite };

// Adds the counters of one camera transfer per iteration: wire_us, its time
// on the wire, and wire_ratio, the measured time per iteration over it (the
// calling thread's CPU time unless the benchmark uses real time). The label
// names the transfer, so that results of the same transfer measured at
// different layers can be set side by side.
void ReportWireTime(benchmark::State &state, Transfer transfer, uint64_t bytes);

// The counters of a transfer measured against the simulator in the same run:
// wire_us, wire_ratio (library time over wire time), simulator_us and
// library_ratio ((library time - simulator time) / wire time); the label as above.
void ReportAgainstSimulator(benchmark::State &state, Transfer transfer, uint64_t bytes, double librarySeconds,
                            double simulatorSeconds);

// Times the transfer through the library and the same transfer on the
// simulator alone in turns, one of each per iteration, so that both see the
// same process, memory layout and moment of the machine: figures of
// separate runs differ by more than the library's whole share of a large
// read. The benchmark's time is the library's (register it with
// UseManualTime); each function answers whether its transfer succeeded.
template <class Library, class Simulator>
void MeasureAgainstSimulator(benchmark::State &state, Transfer transfer, uint64_t bytes, Library library,
                             Simulator simulator) {
    using Clock = std::chrono::steady_clock;
    double librarySeconds = 0, simulatorSeconds = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        if (!library()) return state.SkipWithError("transfer failed");
        const Clock::time_point middle = Clock::now();
        if (!simulator()) return state.SkipWithError("transfer on the simulator alone failed");
        const Clock::time_point end = Clock::now();
        const double seconds = std::chrono::duration<double>(middle - start).count();
        state.SetIterationTime(seconds);
        librarySeconds += seconds;
        simulatorSeconds += std::chrono::duration<double>(end - middle).count();
    }
    ReportAgainstSimulator(state, transfer, bytes, librarySeconds, simulatorSeconds);
}

}  // namespace nox_bench
