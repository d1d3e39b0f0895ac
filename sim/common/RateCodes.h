#pragma once
#include <array>
#include <cstdint>

namespace vexo::sim {

// CoaXPress bit rates (Mbit/s per link) and their ConnectionConfig codes.
struct BitRate {
    uint32_t mbps;
    uint32_t code;
};

inline constexpr std::array<BitRate, 7> kBitRates{{
    {1250, 0x28}, {2500, 0x30}, {3125, 0x38}, {5000, 0x40}, {6250, 0x48}, {10000, 0x50}, {12500, 0x58}}};

// 0 for a rate or a code outside the table.
constexpr uint32_t RateCode(uint32_t mbps) {
    for (const BitRate &rate : kBitRates)
        if (rate.mbps == mbps) return rate.code;
    return 0;
}

constexpr uint32_t RateFromCode(uint32_t code) {
    for (const BitRate &rate : kBitRates)
        if (rate.code == code) return rate.mbps;
    return 0;
}

constexpr bool IsBitRate(uint32_t mbps) { return RateCode(mbps) != 0; }

// Uplinks run at a high setting for the two fastest rates.
constexpr bool NeedsHighUplink(uint32_t mbps) { return mbps >= 10000; }

}  // namespace vexo::sim
