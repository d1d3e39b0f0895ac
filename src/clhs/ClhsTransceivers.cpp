#include "clhs/ClhsTransceivers.h"

#include "cxp/CxpLog.h"
#include "cxp/PollPacer.h"
#include "logging/Logger.h"
#include "protocol/ClhsRegisters.h"

namespace vexo::genicam::clhs {

using Map = ClhsRegisterMap;
using Clock = ClhsBoardAccess::Clock;
using tools::logging::kLevelError;

namespace {
constexpr std::chrono::milliseconds kNetworkResetPulse{1};
}  // namespace

bool ClhsTransceivers::Locked(uint32_t port) const {
    if (board_.Map().Has(Map::kTransceiverLocked)) return board_.Bit(Map::kTransceiverLocked, port, port);
    return board_.Map().SharedGtxStatus() ? board_.Bit(Map::kGtxStatus, port, port) : board_.Bit(Map::kGtxStatus, port, 0);
}

// Both the receive and the transmit side must report the state.
bool ClhsTransceivers::AwaitDone(uint32_t portMask, bool done) const {
    const Clock::time_point deadline = Clock::now() + kResetBound;
    cxp::PollPacer pacer(std::chrono::microseconds(0), std::chrono::microseconds(100));
    for (;;) {
        uint64_t rx = 0, tx = 0;
        const bool read = board_.Read(Map::kTransceiverRxResetDone, 0, rx) == 0 &&
                          board_.Read(Map::kTransceiverTxResetDone, 0, tx) == 0;
        if (read && (done ? (rx & tx & portMask) == portMask : ((rx | tx) & portMask) == 0)) return true;
        if (Clock::now() > deadline || board_.Closing()) return false;
        pacer.Pause();
    }
}

bool ClhsTransceivers::Reset(uint32_t portMask, const std::string &suffix) {
    std::lock_guard<std::mutex> guard(resetLock_);
    uint64_t held = 0;
    board_.Read(Map::kTransceiverReset, 0, held);
    if (board_.Write(Map::kTransceiverReset, 0, held | portMask) != 0 || !AwaitDone(portMask, false)) {
        log_(kLevelError, "Failed to initiate GTX reset" + suffix);
        board_.Write(Map::kTransceiverReset, 0, held & ~uint64_t(portMask));
        return false;
    }
    if (board_.Write(Map::kTransceiverReset, 0, held & ~uint64_t(portMask)) != 0 || !AwaitDone(portMask, true)) {
        log_(kLevelError, "Failed to wait for GTX reset to finish" + suffix);
        return false;
    }
    return true;
}

bool ClhsTransceivers::StartPhysicalLayer() {
    board_.Write(Map::kNetworkControllerReset, 0, 1);
    board_.Pause(kNetworkResetPulse);
    board_.Write(Map::kNetworkControllerReset, 0, 0);
    bool ok = true;
    for (uint32_t port = 0; port < kPorts; ++port) ok = SetUpChip(port) && ok;
    return ok;
}

bool ClhsTransceivers::SetUpChip(uint32_t port) {
    namespace wire = protocol::clhs;
    for (const ChipRegister &item : kChipSetup) {
        const uint64_t written = mdio_.Access(wire::kMdioOperationWrite, port, item.device, item.reg, item.value);
        const uint64_t read = mdio_.Access(wire::kMdioOperationRead, port, item.device, item.reg, 0);
        if (ClhsMdio::Failed(written) || ClhsMdio::Failed(read) || (read & 0xFFFF) != item.value) {
            log_(kLevelError, "Failed to set up the physical layer of port " + std::to_string(port) + ": register " +
                                  cxp::Hex(item.reg) + " of device " + std::to_string(item.device) + " reads " +
                                  cxp::Hex(read & 0xFFFF));
            return false;
        }
    }
    return true;
}

}  // namespace vexo::genicam::clhs
