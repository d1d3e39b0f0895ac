#include "clhs/ClhsMdio.h"

#include "cxp/PollPacer.h"
#include "protocol/ClhsRegisters.h"

namespace vexo::genicam::clhs {

namespace wire = protocol::clhs;
using Clock = ClhsBoardAccess::Clock;

uint64_t ClhsMdio::CommandWord(uint32_t operation, uint32_t physicalAddress, uint32_t device, uint32_t reg,
                               uint32_t data) {
    const uint64_t high = ((operation & 3) << 5 | (physicalAddress & 31)) << 5 | (device & 31);
    return high << 32 | uint64_t(reg & 0xFFFF) << 16 | (data & 0xFFFF);
}

uint32_t ClhsMdio::BusOf(uint32_t physicalAddress, bool singleBus) {
    return !singleBus && (physicalAddress == 1 || physicalAddress == 15) ? 1 : 0;
}

bool ClhsMdio::Failed(uint64_t status) { return (status & (wire::kMdioBusy | wire::kMdioErrors)) != 0; }

uint64_t ClhsMdio::AwaitIdle(uint32_t bus) const {
    const Clock::time_point deadline = ClhsBoardAccess::Deadline(Clock::now(), 0);
    cxp::PollPacer pacer(std::chrono::microseconds(0), std::chrono::microseconds(100));
    for (;;) {
        uint64_t status = 0;
        if (board_.Read(ClhsRegisterMap::kMdioStatus, bus, status) != 0) return wire::kMdioBusy;
        if (!(status & wire::kMdioBusy)) return status;
        if (Clock::now() > deadline || board_.Closing()) return status;
        pacer.Pause();
    }
}

uint64_t ClhsMdio::Access(uint32_t operation, uint32_t physicalAddress, uint32_t device, uint32_t reg,
                          uint32_t data) {
    const uint32_t bus = BusOf(physicalAddress, board_.Map().SingleMdioBus());
    std::lock_guard<std::mutex> guard(buses_[bus]);
    const uint64_t word = CommandWord(operation, physicalAddress, device, reg, data);
    uint64_t status = 0;
    for (uint32_t attempt = 0; attempt < kMaxAttempts; ++attempt) {
        status = AwaitIdle(bus);
        if (status & wire::kMdioBusy) return status;
        if (board_.Write(ClhsRegisterMap::kMdioCommand, bus, word) != 0) return status | wire::kMdioBusy;
        board_.Pause(kCommandTime);
        status = AwaitIdle(bus);
        if ((status & wire::kMdioBusy) || !Failed(status)) return status;
    }
    return status;
}

}  // namespace vexo::genicam::clhs
