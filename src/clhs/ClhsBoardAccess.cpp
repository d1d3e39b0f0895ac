#include "clhs/ClhsBoardAccess.h"

#include <algorithm>
#include <thread>

#include "board/BoardLibraries.h"

namespace vexo::genicam::clhs {

namespace {
constexpr int32_t kAbsentRegister = -1;
constexpr std::chrono::milliseconds kPauseSlice{5};
}  // namespace

int32_t ClhsBoardAccess::Read(ClhsRegisterMap::Register reg, uint32_t port, uint64_t &value) const {
    const uint32_t address = map_.Address(reg, port);
    if (address == 0) return kAbsentRegister;
    return ReadBoardRegister(device_, address, &value);
}

int32_t ClhsBoardAccess::Write(ClhsRegisterMap::Register reg, uint32_t port, uint64_t value) const {
    const uint32_t address = map_.Address(reg, port);
    if (address == 0) return kAbsentRegister;
    return WriteBoardRegister(device_, address, value);
}

bool ClhsBoardAccess::Bit(ClhsRegisterMap::Register reg, uint32_t port, uint32_t bit) const {
    uint64_t value = 0;
    return Read(reg, port, value) == 0 && (value >> bit & 1) != 0;
}

ClhsBoardAccess::Clock::time_point ClhsBoardAccess::Deadline(Clock::time_point start, uint32_t timeoutMs) {
    return start + (timeoutMs == 0 ? kLongestWait : std::chrono::milliseconds(timeoutMs));
}

// Sleeps in slices so that closing the board ends the pause soon.
bool ClhsBoardAccess::Pause(std::chrono::milliseconds time) const {
    const Clock::time_point end = Clock::now() + time;
    while (!Closing()) {
        const Clock::time_point now = Clock::now();
        if (now >= end) return true;
        std::this_thread::sleep_for(std::min<Clock::duration>(end - now, kPauseSlice));
    }
    return false;
}

}  // namespace vexo::genicam::clhs
