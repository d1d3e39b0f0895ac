// Which bit rates a camera is offered. Every rate each board family and camera
// revision reach is driven through the simulator by CxpDiscoveryMatrix; here
// the camera whose revision could not be read.
#include <gtest/gtest.h>

#include "cxp/CxpLinkSpeed.h"

using namespace vexo::genicam::cxp;
using vexo::genicam::BoardFamily;
using Speeds = std::vector<uint32_t>;

TEST(CxpLinkSpeed, OnlyKnownRevisionTwoCamerasOnFamilyCAreOfferedTheHighRates) {
    EXPECT_EQ(NegotiationCandidates(BoardFamily::kC, 0x00020000), (Speeds{12500, 10000, 6250, 5000, 3125, 2500, 1250}));
    EXPECT_EQ(NegotiationCandidates(BoardFamily::kC, 0xFFFFFFFF), (Speeds{6250, 5000, 3125, 2500, 1250}));
    EXPECT_EQ(NegotiationCandidates(BoardFamily::kB, 0x00020000), (Speeds{6250, 5000, 3125, 2500, 1250}));
}
