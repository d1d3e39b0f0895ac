#include <gtest/gtest.h>

#include "cxp/CxpPowerReadings.h"

using namespace vexo::genicam::cxp;
using vexo::genicam::BoardFamily;

TEST(CxpPowerReadings, FamilyAStatesLiveInTheLowByte) {
    EXPECT_EQ(DecodePowerState(BoardFamily::kA, 0x01), 0u);
    EXPECT_EQ(DecodePowerState(BoardFamily::kA, 0x40), 6u);
    EXPECT_EQ(DecodePowerState(BoardFamily::kA, 0x80), kPowerStateFault);
    EXPECT_EQ(DecodePowerState(BoardFamily::kA, 0x84), kPowerStateFault);
    EXPECT_EQ(DecodePowerState(BoardFamily::kA, 0x06), kPowerStateUnknown);  // two state bits
    EXPECT_EQ(DecodePowerState(BoardFamily::kA, 0x00), kPowerStateUnknown);
    EXPECT_EQ(DecodePowerState(BoardFamily::kA, 0x104), 2u);  // bits above the byte are not looked at
}

TEST(CxpPowerReadings, FamilyBStatesLiveInTheLowNineBits) {
    EXPECT_EQ(DecodePowerState(BoardFamily::kB, 0x80), 7u);
    EXPECT_EQ(DecodePowerState(BoardFamily::kB, 0x100), kPowerStateFault);
    EXPECT_EQ(DecodePowerState(BoardFamily::kB, 0x1FF), kPowerStateFault);
    EXPECT_EQ(DecodePowerState(BoardFamily::kB, 0x0A), kPowerStateUnknown);
}

TEST(CxpPowerReadings, FamilyCStatesLiveInBits30To35) {
    auto status = [](uint64_t field) { return field << 30 | 0x1770ull << 16 | 0x09C4; };
    EXPECT_EQ(DecodePowerState(BoardFamily::kC, status(1)), 0u);
    EXPECT_EQ(DecodePowerState(BoardFamily::kC, status(2)), 3u);
    EXPECT_EQ(DecodePowerState(BoardFamily::kC, status(4)), 5u);
    EXPECT_EQ(DecodePowerState(BoardFamily::kC, status(8)), 6u);
    EXPECT_EQ(DecodePowerState(BoardFamily::kC, status(0x20)), kPowerStateFault);
    EXPECT_EQ(DecodePowerState(BoardFamily::kC, status(0x22)), kPowerStateFault);
    EXPECT_EQ(DecodePowerState(BoardFamily::kC, status(6)), kPowerStateUnknown);
    EXPECT_EQ(DecodePowerState(BoardFamily::kC, status(0x10)), kPowerStateUnknown);
    EXPECT_EQ(DecodePowerState(BoardFamily::kNone, 1), kPowerStateUnknown);
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
