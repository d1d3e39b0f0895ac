#pragma once
// CoaXPress link bit rates (Mbit/s per link) and their codes in the camera's
// ConnectionConfig registers and the board's bit rate registers.
#include <array>
#include <cstdint>

namespace vexo::protocol::cxp {

struct BitRate {
    uint32_t mbps;
    uint32_t code;
};

inline constexpr std::array<BitRate, 7> kBitRates{{
    {1250, 0x28}, {2500, 0x30}, {3125, 0x38}, {5000, 0x40}, {6250, 0x48}, {10000, 0x50}, {12500, 0x58}}};

// 0 for a rate without a code.
constexpr uint32_t RateCode(uint32_t mbps) {
    for (const BitRate &rate : kBitRates)
        if (rate.mbps == mbps) return rate.code;
    return 0;
}

// 0 for an unknown code.
constexpr uint32_t BitRateOfCode(uint32_t code) {
    for (const BitRate &rate : kBitRates)
        if (rate.code == code) return rate.mbps;
    return 0;
}

// Links at the two fastest rates need the uplink transceiver's high setting
// ("CxpTransceiverUpLinkBitRate_<p>" = 1).
constexpr bool NeedsHighUplink(uint32_t mbps) { return mbps >= 10000; }

}  // namespace vexo::protocol::cxp
