#include <gtest/gtest.h>

#include "cxp/CxpLinkSpeed.h"

using namespace vexo::genicam::cxp;
using vexo::genicam::BoardFamily;
using Speeds = std::vector<uint32_t>;

TEST(CxpLinkSpeed, ConnectionConfigEncodesLinksAndRateCode) {
    EXPECT_EQ(ConnectionConfig(4, 6250), 0x00040048u);
    EXPECT_EQ(ConnectionConfig(2, 12500), 0x00020058u);
    EXPECT_EQ(ConnectionConfig(1, 3000), 0x00010000u);  // no code for an unknown rate
    EXPECT_EQ(BitRateOf(0x00010028), 1250u);
    EXPECT_EQ(BitRateOf(0x00010029), 0u);
    EXPECT_EQ(LinkCountOf(0x00030050), 3u);
}

TEST(CxpLinkSpeed, OnlyFamilyCBoardsAcceptTheHighRates) {
    for (uint32_t rate : {0u, 1250u, 2500u, 3125u, 5000u, 6250u}) {
        EXPECT_TRUE(IsValidSpeed(rate, BoardFamily::kA)) << rate;
        EXPECT_TRUE(IsValidSpeed(rate, BoardFamily::kC)) << rate;
    }
    for (uint32_t rate : {10000u, 12500u}) {
        EXPECT_FALSE(IsValidSpeed(rate, BoardFamily::kB)) << rate;
        EXPECT_TRUE(IsValidSpeed(rate, BoardFamily::kC)) << rate;
    }
    EXPECT_FALSE(IsValidSpeed(3000, BoardFamily::kC));
    EXPECT_FALSE(IsValidSpeed(25000, BoardFamily::kC));
    EXPECT_TRUE(NeedsHighUplink(10000));
    EXPECT_FALSE(NeedsHighUplink(6250));
}

TEST(CxpLinkSpeed, CandidateOrders) {
    EXPECT_EQ(SpeedDetectCandidates(0, BoardFamily::kC), (Speeds{3125, 1250, 12500, 10000, 6250, 5000, 2500}));
    EXPECT_EQ(SpeedDetectCandidates(6250, BoardFamily::kC), (Speeds{6250, 3125, 1250, 12500, 10000, 5000, 2500}));
    EXPECT_EQ(SpeedDetectCandidates(0, BoardFamily::kB), (Speeds{3125, 1250, 6250, 5000, 2500}));
    EXPECT_EQ(LockLinksCandidates(3125, BoardFamily::kC), (Speeds{3125, 12500, 10000, 6250, 5000, 2500, 1250}));
    EXPECT_EQ(LockLinksCandidates(0, BoardFamily::kA), (Speeds{6250, 5000, 3125, 2500, 1250}));
    EXPECT_EQ(NegotiationCandidates(BoardFamily::kC, 0x00020000),
              (Speeds{12500, 10000, 6250, 5000, 3125, 2500, 1250}));
    EXPECT_EQ(NegotiationCandidates(BoardFamily::kC, 0x00010001), (Speeds{6250, 5000, 3125, 2500, 1250}));
    EXPECT_EQ(NegotiationCandidates(BoardFamily::kC, 0xFFFFFFFF), (Speeds{6250, 5000, 3125, 2500, 1250}));
    EXPECT_EQ(NegotiationCandidates(BoardFamily::kB, 0x00020000), (Speeds{6250, 5000, 3125, 2500, 1250}));
}

TEST(CxpLinkSpeed, GbpsTexts) {
    EXPECT_EQ(GbpsText(3125), "3.125");
    EXPECT_EQ(GbpsText(1250), "1.25");
    EXPECT_EQ(GbpsText(12500), "12.5");
    EXPECT_EQ(GbpsText(10000), "10");
    EXPECT_EQ(GbpsText(0), "0");
}
