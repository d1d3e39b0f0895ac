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

// Times `measured` and `reference` in turns, one of each per iteration, so
// that both see the same process, memory layout and moment of the machine:
// figures of separate runs differ by more than the library's whole share of
// a large read. The benchmark's time is the measured function's (register
// it with UseManualTime); both sums of seconds are returned. Each
// function answers whether it succeeded; a failure ends the benchmark with
// an error. `prepare`, when given, runs untimed before each of the two calls.
struct TurnSeconds {
    double measured = 0;
    double reference = 0;
};

template <class Measured, class Reference, class Prepare = void (*)()>
TurnSeconds TimeInTurns(benchmark::State &state, Measured measured, Reference reference, Prepare prepare = [] {}) {
    using Clock = std::chrono::steady_clock;
    TurnSeconds seconds;
    for (auto _ : state) {
        prepare();
        const Clock::time_point start = Clock::now();
        if (!measured()) {
            state.SkipWithError("measured call failed");
            break;
        }
        const Clock::time_point middle = Clock::now();
        prepare();
        const Clock::time_point restart = Clock::now();
        if (!reference()) {
            state.SkipWithError("reference call failed");
            break;
        }
        const Clock::time_point end = Clock::now();
        const double measuredSeconds = std::chrono::duration<double>(middle - start).count();
        state.SetIterationTime(measuredSeconds);
        seconds.measured += measuredSeconds;
        seconds.reference += std::chrono::duration<double>(end - restart).count();
    }
    return seconds;
}

// A transfer through the library against the same transfer on the simulator
// alone, in turns.
template <class Library, class Simulator>
void MeasureAgainstSimulator(benchmark::State &state, Transfer transfer, uint64_t bytes, Library library,
                             Simulator simulator) {
    const TurnSeconds seconds = TimeInTurns(state, library, simulator);
    if (!state.error_occurred()) ReportAgainstSimulator(state, transfer, bytes, seconds.measured, seconds.reference);
}

}  // namespace nox_bench
