// The simulator's cost of the Camera Link HS message channel: one register
// access, and a whole GenCP register read driven word by word as the library
// drives it (data words, send command, status polls, answer words, the status
// read that retires the answer). The board answers at once ("timing": false):
// the figures are the simulator's work; "per_access" is the time of one
// message-channel register access within the whole read.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

#include "grablib5.h"
#include "protocol/ClhsRegisters.h"
#include "protocol/GrabberSession.h"
#include "vexosim.h"

extern "C" {
int32_t ReadBoardRegister(uint64_t device, uint32_t address, uint64_t *value);
int32_t WriteBoardRegister(uint64_t device, uint32_t address, uint64_t value);
int64_t FindAppletRegister(uint64_t applet, const char *name);
}

namespace {

namespace clhs = vexo::protocol::clhs;

// Applet port 0 of a Camera Link HS board with a 1-link camera, at once.
class MessageChannel {
public:
    MessageChannel() {
        vexosim_load_topology(R"({"boards": [{"model": "clhs2-c", "timing": false, "cameras": [{"links": [0]}]}]})");
        session_ = OpenGrabber(0);
        if (!session_) return;
        const auto *record = reinterpret_cast<const unsigned char *>(session_);
        std::memcpy(&device_, record + vexo::protocol::grabber_session::kDeviceHandleOffset, 8);
        std::memcpy(&applet_, record + vexo::protocol::grabber_session::kAppletHandleOffset, 8);
        txData_ = Address("ClhsTxCmdData_0");
        txCommand_ = Address("ClhsTxCmdCommand_0");
        txStatus_ = Address("ClhsTxCmdStatus_0");
        rxStatus_ = Address("ClhsRxCmdStatus_0");
        rxData_ = Address("ClhsRxCmdData_0");
    }
    ~MessageChannel() { CloseGrabber(session_); }

    bool Ok() const { return session_ && txData_ && rxData_; }
    uint32_t TxStatusAddress() const { return txStatus_; }
    uint64_t Device() const { return device_; }

    // Reads the GenCP version register; the register accesses it took, or 0 when it failed.
    uint32_t ReadVersion(uint16_t requestId) const {
        const uint32_t command[] = {clhs::kMessageWord0, clhs::kMessageWord1, 0x40000800, 12u << 16 | requestId, 0, 0, 4};
        uint32_t accesses = 0;
        uint64_t status = 0, word = 0;
        for (uint32_t value : command) accesses += Write(txData_, value);
        accesses += Write(txCommand_, clhs::kTxCommandSend);
        do accesses += Read(txStatus_, status);
        while (status & clhs::kTxStatusBusy);
        do accesses += Read(rxStatus_, status);
        while (!(status & clhs::kRxStatusMessage));
        uint32_t last = 0;
        for (; status & clhs::kRxStatusWordsLeft; accesses += Read(rxStatus_, status)) {
            accesses += Read(rxData_, word);
            last = uint32_t(word);
        }
        return last == 0x00000100 ? accesses : 0;
    }

private:
    uint32_t Address(const char *name) const { return uint32_t(FindAppletRegister(applet_, name)); }
    uint32_t Write(uint32_t address, uint64_t value) const { return WriteBoardRegister(device_, address, value) == 0; }
    uint32_t Read(uint32_t address, uint64_t &value) const { return ReadBoardRegister(device_, address, &value) == 0; }

    GrabberSession *session_ = nullptr;
    uint64_t device_ = 0, applet_ = 0;
    uint32_t txData_ = 0, txCommand_ = 0, txStatus_ = 0, rxStatus_ = 0, rxData_ = 0;
};

void StatusRead(benchmark::State &state) {
    MessageChannel channel;
    if (!channel.Ok()) return state.SkipWithError("no board");
    uint64_t value = 0;
    for (auto _ : state) {
        ReadBoardRegister(channel.Device(), channel.TxStatusAddress(), &value);
        benchmark::DoNotOptimize(value);
    }
}

void RegisterRead(benchmark::State &state) {
    MessageChannel channel;
    if (!channel.Ok()) return state.SkipWithError("no board");
    uint64_t accesses = 0;
    uint16_t requestId = 0;
    for (auto _ : state) {
        const uint32_t taken = channel.ReadVersion(++requestId);
        if (taken == 0) return state.SkipWithError("read failed");
        accesses += taken;
    }
    state.counters["accesses"] = benchmark::Counter(double(accesses), benchmark::Counter::kAvgIterations);
    state.counters["per_access"] =
        benchmark::Counter(double(accesses), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

const bool registered = [] {
    benchmark::RegisterBenchmark("BM_ClhsMessageChannel/StatusRead", StatusRead);
    benchmark::RegisterBenchmark("BM_ClhsMessageChannel/RegisterRead", RegisterRead);
    return true;
}();

}  // namespace
