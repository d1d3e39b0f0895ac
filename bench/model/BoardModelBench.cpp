// Scanning boards for cameras, and what the boards' monitoring threads cost
// while the application does nothing, on the virtual frame grabber with every
// runtime-setting wait at 0 and the hardware timing of its boards (links take
// their lock time, commands and answers their wire time).
#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "SimulatedBoard.h"
#include "Topologies.h"
#include "vexosim.h"

namespace {

using nox_bench::SimulatedBoard;

constexpr uint32_t kDefaultTopologyCameras = 2;
constexpr uint32_t kLargeBoards = 4;
constexpr uint32_t kCamerasPerLargeBoard = 4;

std::vector<std::unique_ptr<SimulatedBoard>> OpenBoards(uint32_t count) {
    std::vector<std::unique_ptr<SimulatedBoard>> boards;
    for (uint32_t index = 0; index < count; ++index) {
        boards.push_back(std::make_unique<SimulatedBoard>(index));
        if (!boards.back()->Ok()) return {};
    }
    return boards;
}

// Scans every board once per iteration; `perCamera_s` is the time per iteration
// shared among the cameras a scan finds.
void ScanBoards(benchmark::State &state, uint32_t boardCount, uint32_t camerasPerScan) {
    auto boards = OpenBoards(boardCount);
    if (boards.empty()) return state.SkipWithError("boards did not open");
    for (auto _ : state) {
        uint32_t found = 0;
        for (auto &board : boards) {
            const int32_t cameras = board->Scan();
            if (cameras < 0) return state.SkipWithError("scan failed");
            found += static_cast<uint32_t>(cameras);
        }
        if (found < camerasPerScan) return state.SkipWithError("a scan missed cameras");
    }
    state.counters["cameras"] = camerasPerScan;
    state.counters["per_camera_s"] =
        benchmark::Counter(camerasPerScan, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Scan(benchmark::State &state) {
    nox_bench::UseFastWaits();
    vexosim_load_topology(nullptr);
    ScanBoards(state, 1, kDefaultTopologyCameras);
}
BENCHMARK(BM_Scan)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_ScanLarge(benchmark::State &state) {
    nox_bench::UseFastWaits();
    vexosim_load_topology(nox_bench::FullBoards(kLargeBoards).c_str());
    ScanBoards(state, kLargeBoards, kLargeBoards * kCamerasPerLargeBoard);
}
BENCHMARK(BM_ScanLarge)->UseRealTime()->Unit(benchmark::kMillisecond);

double CpuSeconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Four boards with every camera's links up, so each monitoring pass checks
// real links. The main thread only waits: every CPU second the process spends
// beyond the main thread's own is the monitoring threads'. core_fraction is
// that time over the window's length.
void BM_MonitorIdle(benchmark::State &state) {
    constexpr auto kWindow = std::chrono::seconds(10);
    nox_bench::UseFastWaits();
    vexosim_load_topology(nox_bench::FullBoards(kLargeBoards).c_str());
    auto boards = OpenBoards(kLargeBoards);
    for (auto &board : boards)
        if (!board->ScanAndConnect()) return state.SkipWithError("cameras did not connect");
    if (boards.empty()) return state.SkipWithError("boards did not open");
    double monitoringSeconds = 0, windowSeconds = 0;
    for (auto _ : state) {
        const double process = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID), main = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        const auto start = std::chrono::steady_clock::now();
        // The measurement window: nothing happens here but monitoring.
        std::this_thread::sleep_for(kWindow);
        windowSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        monitoringSeconds += (CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - process) - (CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - main);
    }
    state.counters["boards"] = kLargeBoards;
    state.counters["core_fraction"] = monitoringSeconds / windowSeconds;
}
BENCHMARK(BM_MonitorIdle)->Iterations(1)->Repetitions(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace
