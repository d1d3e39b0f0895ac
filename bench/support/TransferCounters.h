#pragma once
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

namespace nox_bench {

enum class Transfer { kRead, kWrite };

// Adds the counters of one camera transfer per iteration: wire_us, its time
// on the wire, and wire_ratio, the measured time per iteration over it (the
// calling thread's CPU time unless the benchmark uses real time). The label
// names the transfer, so that results of the same transfer measured at
// different layers can be set side by side.
void ReportWireTime(benchmark::State &state, Transfer transfer, uint64_t bytes);

struct TurnSeconds;

// The counters of a transfer measured against the simulator in the same run:
// wire_us, wire_ratio (library time over wire time), simulator_us and
// library_ratio (the median over the iterations of library time - simulator
// time, over wire time); the label as above.
void ReportAgainstSimulator(benchmark::State &state, Transfer transfer, uint64_t bytes, const TurnSeconds &seconds);

// Times `measured` and `reference` in turns, one of each per iteration, so
// that both see the same process, memory layout and moment of the machine:
// figures of separate runs differ by more than the library's whole share of
// a large read. The benchmark's time is the measured function's (register
// it with UseManualTime); both sums of seconds are returned, and the median
// of the iterations' differences, which a turn that lost the processor to
// another program does not move (a loaded machine adds milliseconds to a
// few turns, more than the library's whole share). Each function answers
// whether it succeeded; a failure ends the benchmark with an error.
// `prepare`, when given, runs untimed before each of the two calls.
struct TurnSeconds {
    double measured = 0;
    double reference = 0;
    double medianExcess = 0;  // measured - reference
};

template <class Measured, class Reference, class Prepare = void (*)()>
TurnSeconds TimeInTurns(benchmark::State &state, Measured measured, Reference reference, Prepare prepare = [] {}) {
    using Clock = std::chrono::steady_clock;
    TurnSeconds seconds;
    std::vector<double> excess;
    excess.reserve(static_cast<size_t>(state.max_iterations));
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
        const double referenceSeconds = std::chrono::duration<double>(end - restart).count();
        state.SetIterationTime(measuredSeconds);
        seconds.measured += measuredSeconds;
        seconds.reference += referenceSeconds;
        excess.push_back(measuredSeconds - referenceSeconds);
    }
    if (!excess.empty()) {
        const auto middle = excess.begin() + static_cast<std::ptrdiff_t>(excess.size() / 2);
        std::nth_element(excess.begin(), middle, excess.end());
        seconds.medianExcess = *middle;
    }
    return seconds;
}

// A transfer through the library against the same transfer on the simulator
// alone, in turns.
template <class Library, class Simulator>
void MeasureAgainstSimulator(benchmark::State &state, Transfer transfer, uint64_t bytes, Library library,
                             Simulator simulator) {
    const TurnSeconds seconds = TimeInTurns(state, library, simulator);
    if (!state.error_occurred()) ReportAgainstSimulator(state, transfer, bytes, seconds);
}

}  // namespace nox_bench
