#pragma once
#include <benchmark/benchmark.h>

#include <cstdint>

namespace nox_bench {

enum class Transfer { kRead, kWrite };

// Adds the counters of one camera transfer per iteration: wire_us, its time
// on the wire, and wire_ratio, the measured time per iteration over it (the
// calling thread's CPU time unless the benchmark uses real time). The label
// names the transfer, so that results of the same transfer measured at
// different layers can be set side by side.
void ReportWireTime(benchmark::State &state, Transfer transfer, uint64_t bytes);

}  // namespace nox_bench
