// Camera register and memory access through the exported interface, against
// the virtual frame grabber's default board with its first camera's links up
// at 12500 Mbit/s. Each transfer reports its CoaXPress 1.1 wire time, and the
// same transfer driven on the simulator alone runs beside it, so that the
// library's own share comes out of one run. The board keeps hardware time
// (commands and answers take their wire time, the camera its turn-around);
// BM_MemoryReadInstant is the same read on a board that answers at once.
#include <benchmark/benchmark.h>

#include <optional>
#include <string>
#include <vector>

#include "RawControlChannel.h"
#include "SimulatedBoard.h"
#include "TemporaryFolder.h"
#include "Topologies.h"
#include "TransferCounters.h"
#include "protocol/CxpBootstrap.h"
#include "vexosim.h"

namespace {

using nox_bench::MeasureAgainstSimulator;
using nox_bench::RawControlChannel;
using nox_bench::Transfer;

// The applet port that carries the first camera's commands: the first port of its operator.
constexpr uint32_t kCommandPort = 0;

constexpr uint32_t kStandardRegister = vexo::protocol::cxp::bootstrap::kStandard;
constexpr uint32_t kWidthRegister = 0x6008;
constexpr uint32_t kLargestRead = 1 << 20;

// The default board, its first camera serving a plain description large
// enough for the largest read.
class CameraWithLargeMemory {
public:
    explicit CameraWithLargeMemory(nox_bench::Timing timing = nox_bench::Timing::kHardware) {
        nox_bench::UseFastWaits();
        const std::string description = folder_.Write("filler.xml", std::string(kLargestRead, 'x'));
        ready_ =
            vexosim_load_topology(nox_bench::DefaultBoardWithDescription(description, false, timing).c_str()) == 0;
    }
    NoxCameraHandle *Open() {
        camera_.emplace(false);
        return ready_ && camera_->Ok() ? camera_->Handle() : nullptr;
    }
    // The first camera's control channel without the library.
    RawControlChannel Channel() const { return RawControlChannel(camera_->Board().Session(), kCommandPort); }

private:
    nox_bench::TemporaryFolder folder_;
    bool ready_ = false;
    std::optional<nox_bench::ConnectedCamera> camera_;
};

void BM_RegisterRead(benchmark::State &state) {
    CameraWithLargeMemory world;
    NoxCameraHandle *camera = world.Open();
    if (camera == nullptr) return state.SkipWithError("camera did not connect");
    const RawControlChannel channel = world.Channel();
    const auto commands = RawControlChannel::ReadCommands(kStandardRegister, 4);
    uint32_t value = 0;
    MeasureAgainstSimulator(
        state, Transfer::kRead, 4,
        [&] { return Nox_registerReadFromCamera(camera, &value, kStandardRegister) == ERR_NONE; },
        [&] { return channel.ExchangeAll(commands); });
}
BENCHMARK(BM_RegisterRead)->UseManualTime();

void BM_RegisterWrite(benchmark::State &state) {
    CameraWithLargeMemory world;
    NoxCameraHandle *camera = world.Open();
    if (camera == nullptr) return state.SkipWithError("camera did not connect");
    const RawControlChannel channel = world.Channel();
    const auto command = RawControlChannel::RegisterWrite(kWidthRegister, 640);
    MeasureAgainstSimulator(
        state, Transfer::kWrite, 4, [&] { return Nox_registerWriteToCamera(camera, 640, kWidthRegister) == ERR_NONE; },
        [&] { return channel.Exchange(command); });
}
BENCHMARK(BM_RegisterWrite)->UseManualTime();

void MemoryRead(benchmark::State &state, nox_bench::Timing timing) {
    CameraWithLargeMemory world(timing);
    NoxCameraHandle *camera = world.Open();
    if (camera == nullptr) return state.SkipWithError("camera did not connect");
    const RawControlChannel channel = world.Channel();
    const auto bytes = static_cast<uint32_t>(state.range(0));
    const auto commands = RawControlChannel::ReadCommands(nox_bench::kDescriptionAddress, bytes);
    std::vector<char> buffer(bytes);
    MeasureAgainstSimulator(
        state, Transfer::kRead, bytes,
        [&] {
            const bool ok = Nox_memoryReadFromCamera(camera, buffer.data(), nox_bench::kDescriptionAddress, bytes) == ERR_NONE;
            benchmark::ClobberMemory();
            return ok;
        },
        [&] { return channel.ExchangeAll(commands); });
    state.SetBytesProcessed(state.iterations() * int64_t{bytes});
}

void BM_MemoryRead(benchmark::State &state) { MemoryRead(state, nox_bench::Timing::kHardware); }
BENCHMARK(BM_MemoryRead)
    ->Arg(512)
    ->Arg(4 << 10)
    ->Arg(64 << 10)
    ->Arg(kLargestRead)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

void BM_MemoryReadInstant(benchmark::State &state) { MemoryRead(state, nox_bench::Timing::kInstant); }
BENCHMARK(BM_MemoryReadInstant)->Arg(64 << 10)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
