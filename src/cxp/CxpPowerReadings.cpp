#include "cxp/CxpPowerReadings.h"

#include <bit>

namespace vexo::genicam::cxp {

namespace {

// The number of the single set bit among `bits`, or unknown for none or several.
uint32_t SingleBitNumber(uint64_t bits) {
    return std::popcount(bits) == 1 ? static_cast<uint32_t>(std::countr_zero(bits)) : kPowerStateUnknown;
}

uint32_t DecodeFamilyC(uint64_t status) {
    const uint64_t field = (status >> 30) & 0x3F;
    if (field & 0x20) return kPowerStateFault;
    switch (field) {
        case 1: return 0;
        case 2: return 3;
        case 4: return 5;
        case 8: return 6;
        default: return kPowerStateUnknown;
    }
}

}  // namespace

uint32_t DecodePowerState(BoardFamily family, uint64_t status) {
    switch (family) {
        case BoardFamily::kA: return (status & 0x80) ? kPowerStateFault : SingleBitNumber(status & 0x7F);
        case BoardFamily::kB: return (status & 0x100) ? kPowerStateFault : SingleBitNumber(status & 0xFF);
        case BoardFamily::kC: return DecodeFamilyC(status);
        case BoardFamily::kNone: break;
    }
    return kPowerStateUnknown;
}

double DecodeSupplyVoltage(BoardFamily family, uint64_t raw) {
    switch (family) {
        case BoardFamily::kC: return static_cast<double>((raw >> 16) & 0x3FFF) * 0.004;
        case BoardFamily::kB: return static_cast<double>(raw & 0x3FFF) * 0.004;
        case BoardFamily::kA: return static_cast<double>(raw & 0xFFF) * 0.025;
        case BoardFamily::kNone: break;
    }
    return 0.0;
}

double DecodeSupplyCurrent(BoardFamily family, uint64_t raw) {
    switch (family) {
        case BoardFamily::kB: return static_cast<double>(raw & 0xFFFF) * 0.2;
        case BoardFamily::kC: return static_cast<double>(static_cast<int16_t>(raw & 0xFFFF)) * 0.2;
        case BoardFamily::kA: return static_cast<double>(raw & 0xFFF) * 0.0004 * 1000;
        case BoardFamily::kNone: break;
    }
    return 0.0;
}

}  // namespace vexo::genicam::cxp
