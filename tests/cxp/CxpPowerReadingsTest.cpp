// Power states the simulated boards never report: faults, and status words
// with no single state bit. Off, on and on with a camera, with their voltage
// and current, are read from every family's board by CxpPower.
#include <gtest/gtest.h>

#include "cxp/CxpPowerReadings.h"

using namespace vexo::genicam::cxp;
using vexo::genicam::BoardFamily;

// Family A: the low byte; B: the low nine bits; C: bits 30 to 35 (beside voltage and current).
TEST(CxpPowerReadings, FaultAndUnknownStatesOfEachFamily) {
    const auto c = [](uint64_t field) { return field << 30 | 0x1770ull << 16 | 0x09C4; };
    const struct {
        BoardFamily family;
        uint64_t status;
        uint32_t state;
    } cases[] = {
        {BoardFamily::kA, 0x84, kPowerStateFault}, {BoardFamily::kA, 0x06, kPowerStateUnknown},  // two state bits
        {BoardFamily::kA, 0x104, 2},  // bits above the byte ignored
        {BoardFamily::kB, 0x1FF, kPowerStateFault}, {BoardFamily::kB, 0x0A, kPowerStateUnknown},
        {BoardFamily::kC, c(0x22), kPowerStateFault}, {BoardFamily::kC, c(6), kPowerStateUnknown},
        {BoardFamily::kNone, 1, kPowerStateUnknown},
    };
    for (const auto &[family, status, state] : cases)
        EXPECT_EQ(DecodePowerState(family, status), state) << int(family) << " " << std::hex << status;
    EXPECT_NEAR(DecodeSupplyCurrent(BoardFamily::kC, 0xFFFF), -0.2, 1e-9) << "signed";
}
