#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

#include "camera/FeatureRegisters.h"
#include "common/WireBytes.h"

namespace vexo::sim {

// A block of a camera's address space held as bytes: strings, URL texts,
// tables, descriptions, scratch memory.
struct MemoryRegion {
    uint32_t base;
    uint32_t size;
    const uint8_t *bytes;
    uint8_t *writable;  // null: read only
    uint32_t writableFrom;
};

inline const MemoryRegion *FindRegion(std::span<const MemoryRegion> regions, uint64_t address) {
    for (const MemoryRegion &region : regions)
        if (address >= region.base && address < uint64_t(region.base) + region.size) return &region;
    return nullptr;
}

// A camera's memory: byte regions, and between them 32-bit registers that
// travel most significant byte first. `Registers` answers Access(address),
// Read(address), Validate(address, value) and Write(address, value).
//
// A read covers regions and whole registers (a register ending the read
// gives its first bytes); an address that is neither fails the read.
template <class Registers>
AckCode ReadMemory(std::span<const MemoryRegion> regions, const Registers &registers, uint64_t address, uint32_t size,
                   uint8_t *out) {
    for (uint32_t done = 0; done < size;) {
        const uint64_t at = address + done;
        if (const MemoryRegion *region = FindRegion(regions, at)) {
            const uint32_t count = uint32_t(std::min<uint64_t>(size - done, region->base + region->size - at));
            std::memcpy(out + done, region->bytes + (at - region->base), count);
            done += count;
            continue;
        }
        const std::optional<RegisterAccess> access = at <= 0xFFFFFFFFu ? registers.Access(uint32_t(at)) : std::nullopt;
        if (!access) return AckCode::kInvalidAddress;
        if (*access == RegisterAccess::WriteOnly) return AckCode::kReadFromWriteOnly;
        uint8_t value[4];
        BigEndianBytes(registers.Read(uint32_t(at)), value);
        const uint32_t count = std::min<uint32_t>(4, size - done);
        std::memcpy(out + done, value, count);
        done += count;
    }
    return AckCode::kSuccess;
}

// Checks the whole write first, then applies it, so a refused write changes nothing.
template <class Registers>
AckCode WriteMemory(std::span<const MemoryRegion> regions, Registers &registers, uint64_t address, const uint8_t *data,
                    uint32_t size) {
    for (const bool apply : {false, true}) {
        for (uint32_t done = 0; done < size;) {
            const uint64_t at = address + done;
            if (const MemoryRegion *region = FindRegion(regions, at)) {
                const uint32_t count = uint32_t(std::min<uint64_t>(size - done, region->base + region->size - at));
                if (!region->writable || at < region->writableFrom) return AckCode::kWriteToReadOnly;
                if (apply) std::memcpy(region->writable + (at - region->base), data + done, count);
                done += count;
                continue;
            }
            const std::optional<RegisterAccess> access =
                at <= 0xFFFFFFFFu ? registers.Access(uint32_t(at)) : std::nullopt;
            if (!access) return AckCode::kInvalidAddress;
            if (*access == RegisterAccess::ReadOnly) return AckCode::kWriteToReadOnly;
            if (size - done < 4) return AckCode::kIncorrectSize;
            const uint32_t value = BigEndianValue(data + done);
            if (!apply) {
                const AckCode code = registers.Validate(uint32_t(at), value);
                if (code != AckCode::kSuccess) return code;
            } else {
                registers.Write(uint32_t(at), value);
            }
            done += 4;
        }
    }
    return AckCode::kSuccess;
}

}  // namespace vexo::sim
