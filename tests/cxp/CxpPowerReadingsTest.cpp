#include <gtest/gtest.h>

#include "cxp/CxpPowerReadings.h"

using namespace vexo::genicam::cxp;
using vexo::genicam::BoardFamily;

// Family A: the low byte; B: the low nine bits; C: bits 30 to 35 (beside voltage and current).
TEST(CxpPowerReadings, StatesOfEachFamily) {
    const auto c = [](uint64_t field) { return field << 30 | 0x1770ull << 16 | 0x09C4; };
    const struct {
        BoardFamily family;
        uint64_t status;
        uint32_t state;
    } cases[] = {
        {BoardFamily::kA, 0x01, 0}, {BoardFamily::kA, 0x40, 6}, {BoardFamily::kA, 0x80, kPowerStateFault},
        {BoardFamily::kA, 0x84, kPowerStateFault}, {BoardFamily::kA, 0x06, kPowerStateUnknown},  // two state bits
        {BoardFamily::kA, 0x00, kPowerStateUnknown}, {BoardFamily::kA, 0x104, 2},  // bits above the byte ignored
        {BoardFamily::kB, 0x80, 7}, {BoardFamily::kB, 0x100, kPowerStateFault}, {BoardFamily::kB, 0x1FF, kPowerStateFault},
        {BoardFamily::kB, 0x0A, kPowerStateUnknown},
        {BoardFamily::kC, c(1), 0}, {BoardFamily::kC, c(2), 3}, {BoardFamily::kC, c(4), 5}, {BoardFamily::kC, c(8), 6},
        {BoardFamily::kC, c(0x20), kPowerStateFault}, {BoardFamily::kC, c(0x22), kPowerStateFault},
        {BoardFamily::kC, c(6), kPowerStateUnknown}, {BoardFamily::kC, c(0x10), kPowerStateUnknown},
        {BoardFamily::kNone, 1, kPowerStateUnknown},
    };
    for (const auto &[family, status, state] : cases)
        EXPECT_EQ(DecodePowerState(family, status), state) << int(family) << " " << std::hex << status;
}

TEST(CxpPowerReadings, VoltageAndCurrentScales) {
    EXPECT_NEAR(DecodeSupplyVoltage(BoardFamily::kC, 0x1770ull << 16 | 0xFFFF), 24.0, 1e-9);
    EXPECT_NEAR(DecodeSupplyVoltage(BoardFamily::kB, 0xC000 | 6000), 24.0, 1e-9);  // 14 bits
    EXPECT_NEAR(DecodeSupplyVoltage(BoardFamily::kA, 0xF000 | 960), 24.0, 1e-9);   // 12 bits
    EXPECT_NEAR(DecodeSupplyVoltage(BoardFamily::kNone, 960), 0.0, 1e-9);
    EXPECT_NEAR(DecodeSupplyCurrent(BoardFamily::kB, 0x10000 | 2500), 500.0, 1e-9);
    EXPECT_NEAR(DecodeSupplyCurrent(BoardFamily::kC, 0x1770ull << 16 | 2500), 500.0, 1e-9);
    EXPECT_NEAR(DecodeSupplyCurrent(BoardFamily::kC, 0xFFFF), -0.2, 1e-9);  // signed
    EXPECT_NEAR(DecodeSupplyCurrent(BoardFamily::kA, 1250), 500.0, 1e-9);
    EXPECT_NEAR(DecodeSupplyCurrent(BoardFamily::kNone, 1250), 0.0, 1e-9);
}
