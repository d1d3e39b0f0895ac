// The virtual frame grabber's own cost: board register access, and whole
// camera transfers driven word by word on the control channel exactly as the
// library drives them, with the packets built beforehand. A library figure
// less the simulator figure of the same transfer (same label) is the
// library's own cost.
#include <benchmark/benchmark.h>

#include <array>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "TemporaryFolder.h"
#include "Topologies.h"
#include "TransferCounters.h"
#include "WireTime.h"
#include "cxp/CxpPacket.h"
#include "grablib5.h"
#include "vexosim.h"

extern "C" {
int32_t ReadBoardRegister(uint64_t device, uint32_t address, uint64_t *value);
int32_t WriteBoardRegister(uint64_t device, uint32_t address, uint64_t value);
int64_t FindAppletRegister(uint64_t applet, const char *name);
}

namespace {

using nox_bench::ReportWireTime;
using nox_bench::Transfer;

constexpr uint32_t kLargestRead = 1 << 20;
constexpr uint64_t kPacketStart = 0x1FBFBFBFBull;
constexpr uint64_t kPacketEnd = 0x3FDFDFDFDull;
constexpr uint64_t kReceiveEmpty = 1ull << 33;
constexpr uint32_t kAckEnd = 0xFDFDFDFD;

// A 32-bit number as a packet word carrying its bytes most significant first.
uint32_t WireOrder(uint32_t value) { return __builtin_bswap32(value); }

// One command as the words pushed into the transmit register, markers
// included, laid out by the library's own (tested) packet builder.
std::vector<uint64_t> CommandWords(bool write, uint32_t address, uint32_t bytes, const std::vector<uint32_t> &data) {
    namespace cxp = vexo::genicam::cxp;
    std::array<uint32_t, cxp::kMaxCommandWords> packet{};
    const size_t length = cxp::BuildCommandPacket(write ? cxp::Command::kWrite : cxp::Command::kRead, address, bytes / 4,
                                                  std::as_bytes(std::span<const uint32_t>(data)), false, packet);
    std::vector<uint64_t> words = {kPacketStart};
    words.insert(words.end(), packet.begin(), packet.begin() + static_cast<std::ptrdiff_t>(length));
    words.push_back(kPacketEnd);
    return words;
}

// The default board's first camera at power-on (locked at its discovery
// speed), serving a plain description large enough for the largest read, and
// the registers of its control channel on applet port 0.
class ControlChannel {
public:
    ControlChannel() {
        const std::string description = folder_.Write("filler.xml", std::string(kLargestRead, 'x'));
        vexosim_load_topology(nox_bench::DefaultBoardWithDescription(description, false).c_str());
        session_ = OpenGrabber(0);
        if (session_ == nullptr) return;
        std::memcpy(&device_, reinterpret_cast<const unsigned char *>(session_) + 408, 8);
        std::memcpy(&applet_, reinterpret_cast<const unsigned char *>(session_) + 416, 8);
        tx_ = Address("CxpTxCmdWriteData_0");
        rx_ = Address("CxpRxCmdAckPacketData_0");
        sent_ = Address("CxpTxCmdPacketSent");
    }
    ~ControlChannel() { CloseGrabber(session_); }

    bool Ok() const { return session_ != nullptr && tx_ != 0 && rx_ != 0 && sent_ != 0; }
    uint64_t Device() const { return device_; }
    uint32_t Address(const char *name) const { return static_cast<uint32_t>(FindAppletRegister(applet_, name)); }

    // Sends the command, sees it sent, collects its answer; true on a success code.
    bool Exchange(const std::vector<uint64_t> &command) const {
        for (uint64_t word : command) WriteBoardRegister(device_, tx_, word);
        uint64_t value = 0;
        ReadBoardRegister(device_, sent_, &value);
        if (!(value & 1)) return false;
        bool first = true, success = false;
        for (;;) {
            ReadBoardRegister(device_, rx_, &value);
            if ((value & kReceiveEmpty) || static_cast<uint32_t>(value) == kAckEnd) return success;
            if (first) success = static_cast<uint32_t>(value) == 0;
            first = false;
        }
    }

private:
    nox_bench::TemporaryFolder folder_;
    GrabberSession *session_ = nullptr;
    uint64_t device_ = 0, applet_ = 0;
    uint32_t tx_ = 0, rx_ = 0, sent_ = 0;
};

void BoardRead(benchmark::State &state, const char *name) {
    ControlChannel channel;
    if (!channel.Ok()) return state.SkipWithError("no board");
    const uint32_t address = channel.Address(name);
    uint64_t value = 0;
    for (auto _ : state) {
        ReadBoardRegister(channel.Device(), address, &value);
        benchmark::DoNotOptimize(value);
    }
}

void BoardWrite(benchmark::State &state) {
    ControlChannel channel;
    if (!channel.Ok()) return state.SkipWithError("no board");
    const uint32_t address = channel.Address("CxpLedModeSelectWrite_0");
    uint64_t mode = 0;
    for (auto _ : state) WriteBoardRegister(channel.Device(), address, ++mode & 7);
}

void CameraRead(benchmark::State &state) {
    ControlChannel channel;
    if (!channel.Ok()) return state.SkipWithError("no board");
    const auto bytes = static_cast<uint32_t>(state.range(0));
    const uint32_t perPacket = nox_bench::DataBytesPerPacket(nox_bench::kControlPacketSize);
    // A register read goes to the Standard register, a block read to the description.
    const uint32_t base = bytes == 4 ? 0 : nox_bench::kDescriptionAddress;
    std::vector<std::vector<uint64_t>> commands;
    for (uint32_t done = 0; done < bytes; done += perPacket)
        commands.push_back(CommandWords(false, base + done, std::min(perPacket, bytes - done), {}));
    for (auto _ : state) {
        for (const auto &command : commands)
            if (!channel.Exchange(command)) return state.SkipWithError("read refused");
    }
    ReportWireTime(state, Transfer::kRead, bytes);
}

void CameraWrite(benchmark::State &state) {
    ControlChannel channel;
    if (!channel.Ok()) return state.SkipWithError("no board");
    const std::vector<uint64_t> command = CommandWords(true, 0x6008, 4, {WireOrder(640)});
    for (auto _ : state) {
        if (!channel.Exchange(command)) return state.SkipWithError("write refused");
    }
    ReportWireTime(state, Transfer::kWrite, 4);
}

const bool registered = [] {
    benchmark::RegisterBenchmark("BM_SimulatorRegister/BoardRead", BoardRead, "rDiscoverySelect");
    benchmark::RegisterBenchmark("BM_SimulatorRegister/BoardReadErrorCounter", BoardRead, "CxpTransceiverStatus_3");
    benchmark::RegisterBenchmark("BM_SimulatorRegister/BoardWrite", BoardWrite);
    benchmark::RegisterBenchmark("BM_SimulatorRegister/CameraWrite", CameraWrite);
    benchmark::RegisterBenchmark("BM_SimulatorRegister/CameraRead", CameraRead)
        ->Arg(4)->Arg(512)->Arg(4 << 10)->Arg(64 << 10)->Arg(kLargestRead)->Unit(benchmark::kMicrosecond);
    return true;
}();

}  // namespace
