#pragma once
#include <cstdint>

#include "board/BoardTypeTable.h"

namespace vexo::genicam::cxp {

// Decoding of the Power over CoaXPress registers, per board family. Pure
// functions of the raw register values.

// Power state codes: 0 to 7 as the board reports them, and these two.
inline constexpr uint32_t kPowerStateFault = 8;    // a fault bit is set
inline constexpr uint32_t kPowerStateUnknown = 9;  // undecodable, unsupported board or no such port

// From "CxpPowerStatus_<port>":
//   family A: low byte; bit 7 -> 8; exactly one of bits 0..6 -> its number;
//   family B: low 9 bits; bit 8 -> 8; exactly one of bits 0..7 -> its number;
//   family C: bits 30..35; bit 35 -> 8; 1 -> 0, 2 -> 3, 4 -> 5, 8 -> 6;
// anything else, and boards of no family, -> 9.
uint32_t DecodePowerState(BoardFamily family, uint64_t status);

// Supply voltage in volts from the family's voltage register: family C the
// status register, family B "CxpPowerBusVoltage_", family A "CxpPowerVin_".
double DecodeSupplyVoltage(BoardFamily family, uint64_t raw);
// Supply current reading from the family's current register: family C the
// status register, family B "CxpPowerShuntVoltage_", family A "CxpPowerSense_".
double DecodeSupplyCurrent(BoardFamily family, uint64_t raw);

}  // namespace vexo::genicam::cxp
