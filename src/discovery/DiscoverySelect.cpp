#include "discovery/DiscoverySelect.h"

namespace vexo::genicam {

uint32_t DiscoverySelect::ForwardEntry(uint32_t index) const { return Entry(kForwardShift, index); }
uint32_t DiscoverySelect::ReverseEntry(uint32_t index) const { return Entry(0, index); }

void DiscoverySelect::Assign(uint32_t cameraPort, uint32_t appletPort) {
    if (cameraPort >= kEntryCount || appletPort >= kEntryCount) return;
    SetEntry(kForwardShift, cameraPort, appletPort);
    SetEntry(0, appletPort, cameraPort);
}

void DiscoverySelect::AssignFreePorts(uint32_t ports) {
    for (uint32_t cameraPort = 0; cameraPort < ports; ++cameraPort) {
        if (ForwardEntry(cameraPort) != kNoEntry) continue;
        for (uint32_t appletPort = 0; appletPort < ports; ++appletPort) {
            if (ReverseEntry(appletPort) != kNoEntry) continue;
            Assign(cameraPort, appletPort);
            break;
        }
    }
}

uint32_t DiscoverySelect::MapForward(uint32_t portMask) const { return MapMask(kForwardShift, portMask); }
uint32_t DiscoverySelect::MapReverse(uint32_t portMask) const { return MapMask(0, portMask); }

uint32_t DiscoverySelect::Entry(uint32_t shift, uint32_t index) const {
    if (index >= kEntryCount) return kNoEntry;
    return static_cast<uint32_t>(value_ >> (shift + 4 * index)) & 0xF;
}

void DiscoverySelect::SetEntry(uint32_t shift, uint32_t index, uint32_t entry) {
    const uint32_t position = shift + 4 * index;
    value_ = (value_ & ~(uint64_t{0xF} << position)) | (uint64_t{entry & 0xF} << position);
}

uint32_t DiscoverySelect::MapMask(uint32_t shift, uint32_t portMask) const {
    uint32_t mapped = 0;
    for (uint32_t bit = 0; bit < kEntryCount; ++bit) {
        if ((portMask & (1u << bit)) == 0) continue;
        const uint32_t entry = Entry(shift, bit);
        if (entry < kEntryCount) mapped |= 1u << entry;
    }
    return mapped;
}

}  // namespace vexo::genicam
