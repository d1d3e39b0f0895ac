#include "board/Mdio.h"

#include "protocol/ClhsRegisters.h"

namespace vexo::sim {
namespace {

namespace clhs = protocol::clhs;

constexpr uint64_t kBusError = 1u << 18;
// A write the register file has no room for: the chip would have taken it,
// the simulator cannot, and says so rather than lose it silently.
constexpr uint64_t kNoRoomError = 1u << 19;

}  // namespace

MdioBus::Entry *MdioBus::Find(uint32_t key) {
    for (uint32_t i = 0; i < used_; ++i)
        if (entries_[i].key == key) return &entries_[i];
    return nullptr;
}

bool MdioBus::Store(uint32_t key, uint16_t value) {
    if (Entry *entry = Find(key)) {
        entry->value = value;
        return true;
    }
    if (value == 0) return true;
    if (used_ == kCapacity) return false;
    entries_[used_++] = {key, value};
    return true;
}

// The command word: bits 42-43 operation, 37-41 physical address, 32-36
// device, 16-31 register, 0-15 data.
void MdioBus::Command(uint64_t word, Clock::time_point now, bool fail) {
    const uint32_t operation = uint32_t(word >> 42) & 3;
    const uint32_t key = uint32_t(word >> 32 & 0x3FF) << 16 | uint32_t(word >> 16 & 0xFFFF);
    const uint16_t data = uint16_t(word);
    previous_ = Status(now) & ~clhs::kMdioBusy;
    doneAt_ = now + kCommandTime;
    const uint64_t lastData = previous_ & 0xFFFF;
    if (fail) {
        result_ = lastData | kBusError;
    } else if (operation == clhs::kMdioOperationWrite) {
        result_ = lastData | (Store(key, data) ? 0 : kNoRoomError);
    } else if (operation == clhs::kMdioOperationRead) {
        const Entry *entry = Find(key);
        result_ = entry ? entry->value : 0;
    } else {
        result_ = lastData;
    }
}

uint64_t MdioBus::Status(Clock::time_point now) const {
    return now < doneAt_ ? previous_ | clhs::kMdioBusy : result_;
}

void MdioBus::Reset() {
    used_ = 0;
    result_ = previous_ = 0;
    doneAt_ = {};
}

}  // namespace vexo::sim
