// The virtual frame grabber's own cost: board register access, and whole
// camera transfers driven word by word on the control channel exactly as the
// library drives them, with the packets built beforehand. A library figure
// less the simulator figure of the same transfer (same label) is the
// library's own cost. The board answers at once ("timing": false): the
// figures are the simulator's work, not the wire's time. The program runs on
// a shared simulator instance of its own, as every program of a user shares
// the boards: each access goes through the segment and its board lock.
#include <benchmark/benchmark.h>

#include <optional>
#include <string>
#include <vector>

#include "RawControlChannel.h"
#include "SimInstanceChoice.h"
#include "TemporaryFolder.h"
#include "Topologies.h"
#include "TransferCounters.h"
#include "grablib5.h"
#include "vexosim.h"

extern "C" {
int32_t ReadBoardRegister(uint64_t device, uint32_t address, uint64_t *value);
int32_t WriteBoardRegister(uint64_t device, uint32_t address, uint64_t value);
}

namespace {

using nox_bench::RawControlChannel;
using nox_bench::ReportWireTime;
using nox_bench::Transfer;

constexpr uint32_t kLargestRead = 1 << 20;

// The default board's first camera at power-on (locked at its discovery
// speed), serving a plain description large enough for the largest read, and
// its control channel on applet port 0.
class ControlChannel {
public:
    ControlChannel() {
        const std::string description = folder_.Write("filler.xml", std::string(kLargestRead, 'x'));
        vexosim_load_topology(nox_bench::DefaultBoardWithDescription(description, false, nox_bench::Timing::kInstant).c_str());
        session_ = OpenGrabber(0);
        channel_.emplace(session_, 0);
    }
    ~ControlChannel() { CloseGrabber(session_); }

    bool Ok() const { return session_ != nullptr && channel_->Ok(); }
    const RawControlChannel &Raw() const { return *channel_; }

private:
    nox_bench::TemporaryFolder folder_;
    GrabberSession *session_ = nullptr;
    std::optional<RawControlChannel> channel_;
};

void BoardRead(benchmark::State &state, const char *name) {
    ControlChannel channel;
    if (!channel.Ok()) return state.SkipWithError("no board");
    const uint32_t address = channel.Raw().Address(name);
    uint64_t value = 0;
    for (auto _ : state) {
        ReadBoardRegister(channel.Raw().Device(), address, &value);
        benchmark::DoNotOptimize(value);
    }
}

void BoardWrite(benchmark::State &state) {
    ControlChannel channel;
    if (!channel.Ok()) return state.SkipWithError("no board");
    const uint32_t address = channel.Raw().Address("CxpLedModeSelectWrite_0");
    uint64_t mode = 0;
    for (auto _ : state) WriteBoardRegister(channel.Raw().Device(), address, ++mode & 7);
}

void CameraRead(benchmark::State &state) {
    ControlChannel channel;
    if (!channel.Ok()) return state.SkipWithError("no board");
    const auto bytes = static_cast<uint32_t>(state.range(0));
    // A register read goes to the Standard register, a block read to the description.
    const auto commands = RawControlChannel::ReadCommands(bytes == 4 ? 0 : nox_bench::kDescriptionAddress, bytes);
    for (auto _ : state) {
        if (!channel.Raw().ExchangeAll(commands)) return state.SkipWithError("read refused");
    }
    ReportWireTime(state, Transfer::kRead, bytes);
}

void CameraWrite(benchmark::State &state) {
    ControlChannel channel;
    if (!channel.Ok()) return state.SkipWithError("no board");
    const auto command = RawControlChannel::RegisterWrite(0x6008, 640);
    for (auto _ : state) {
        if (!channel.Raw().Exchange(command)) return state.SkipWithError("write refused");
    }
    ReportWireTime(state, Transfer::kWrite, 4);
}

const bool registered = [] {
    nox_test_own_sim_instance("simbench");
    benchmark::RegisterBenchmark("BM_SimulatorRegister/BoardRead", BoardRead, "rDiscoverySelect");
    benchmark::RegisterBenchmark("BM_SimulatorRegister/BoardReadErrorCounter", BoardRead, "CxpTransceiverStatus_3");
    benchmark::RegisterBenchmark("BM_SimulatorRegister/BoardWrite", BoardWrite);
    benchmark::RegisterBenchmark("BM_SimulatorRegister/CameraWrite", CameraWrite);
    benchmark::RegisterBenchmark("BM_SimulatorRegister/CameraRead", CameraRead)
        ->Arg(4)->Arg(512)->Arg(4 << 10)->Arg(64 << 10)->Arg(kLargestRead)->Unit(benchmark::kMicrosecond);
    return true;
}();

}  // namespace
