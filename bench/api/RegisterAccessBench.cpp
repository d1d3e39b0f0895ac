// Camera register and memory access through the exported interface, against
// the virtual frame grabber's default board with its first camera's links up
// at 12500 Mbit/s. Each transfer reports its CoaXPress 1.1 wire time.
#include <benchmark/benchmark.h>

#include <optional>
#include <string>
#include <vector>

#include "SimulatedBoard.h"
#include "TemporaryFolder.h"
#include "Topologies.h"
#include "TransferCounters.h"
#include "vexosim.h"

namespace {

using nox_bench::ReportWireTime;
using nox_bench::Transfer;

constexpr uint32_t kStandardRegister = 0x0000;
constexpr uint32_t kWidthRegister = 0x6008;
constexpr uint32_t kLargestRead = 1 << 20;

// The default board, its first camera serving a plain description large
// enough for the largest read.
class CameraWithLargeMemory {
public:
    CameraWithLargeMemory() {
        nox_bench::UseFastWaits();
        const std::string description = folder_.Write("filler.xml", std::string(kLargestRead, 'x'));
        ready_ = vexosim_load_topology(nox_bench::DefaultBoardWithDescription(description, false).c_str()) == 0;
    }
    NoxCameraHandle *Open() {
        camera_.emplace(false);
        return ready_ && camera_->Ok() ? camera_->Handle() : nullptr;
    }

private:
    nox_bench::TemporaryFolder folder_;
    bool ready_ = false;
    std::optional<nox_bench::ConnectedCamera> camera_;
};

void BM_RegisterRead(benchmark::State &state) {
    CameraWithLargeMemory world;
    NoxCameraHandle *camera = world.Open();
    if (camera == nullptr) return state.SkipWithError("camera did not connect");
    uint32_t value = 0;
    for (auto _ : state) {
        if (Nox_registerReadFromCamera(camera, &value, kStandardRegister) != ERR_NONE)
            return state.SkipWithError("read failed");
        benchmark::DoNotOptimize(value);
    }
    ReportWireTime(state, Transfer::kRead, 4);
}
BENCHMARK(BM_RegisterRead);

void BM_RegisterWrite(benchmark::State &state) {
    CameraWithLargeMemory world;
    NoxCameraHandle *camera = world.Open();
    if (camera == nullptr) return state.SkipWithError("camera did not connect");
    for (auto _ : state) {
        if (Nox_registerWriteToCamera(camera, 640, kWidthRegister) != ERR_NONE)
            return state.SkipWithError("write failed");
    }
    ReportWireTime(state, Transfer::kWrite, 4);
}
BENCHMARK(BM_RegisterWrite);

void BM_MemoryRead(benchmark::State &state) {
    CameraWithLargeMemory world;
    NoxCameraHandle *camera = world.Open();
    if (camera == nullptr) return state.SkipWithError("camera did not connect");
    const auto bytes = static_cast<uint32_t>(state.range(0));
    std::vector<char> buffer(bytes);
    for (auto _ : state) {
        if (Nox_memoryReadFromCamera(camera, buffer.data(), nox_bench::kDescriptionAddress, bytes) != ERR_NONE)
            return state.SkipWithError("read failed");
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t{bytes});
    ReportWireTime(state, Transfer::kRead, bytes);
}
BENCHMARK(BM_MemoryRead)->Arg(512)->Arg(4 << 10)->Arg(64 << 10)->Arg(kLargestRead)->Unit(benchmark::kMicrosecond);

}  // namespace
