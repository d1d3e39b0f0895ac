#include <gtest/gtest.h>

#include "discovery/DiscoverySelect.h"

using vexo::genicam::DiscoverySelect;

TEST(DiscoverySelect, EntriesAndAssignmentKeepTheTablesInverse) {
    const DiscoverySelect identity;
    EXPECT_EQ(identity.Value(), 0x7654321076543210ull);
    for (uint32_t i = 0; i < 8; ++i) {
        EXPECT_EQ(identity.ForwardEntry(i), i);
        EXPECT_EQ(identity.ReverseEntry(i), i);
    }
    EXPECT_EQ(identity.ForwardEntry(8), DiscoverySelect::kNoEntry);
    EXPECT_EQ(identity.ReverseEntry(100), DiscoverySelect::kNoEntry);

    DiscoverySelect routing(DiscoverySelect::kNoRoutes);
    routing.Assign(1, 0);
    routing.Assign(0, 3);
    EXPECT_EQ(routing.Value(), 0xFFFFFF03FFFF0FF1ull);
    EXPECT_EQ(routing.ForwardEntry(1), 0u);
    EXPECT_EQ(routing.ReverseEntry(0), 1u);
    EXPECT_EQ(routing.ForwardEntry(0), 3u);
    EXPECT_EQ(routing.ReverseEntry(3), 0u);
    // Out-of-table ports change nothing.
    routing.Assign(8, 2);
    routing.Assign(2, 8);
    routing.Assign(0xFFFFFFFF, 0xFFFFFFFF);
    EXPECT_EQ(routing.Value(), 0xFFFFFF03FFFF0FF1ull);
    // Reassigning an entry leaves every other entry alone.
    routing.Assign(7, 7);
    EXPECT_EQ(routing.Value(), 0x7FFFFF037FFF0FF1ull);
}

TEST(DiscoverySelect, MasksMapThroughForwardAndReverseTablesSkippingEmptyEntries) {
    // Camera ports 0,1,2,3 feed applet ports 2,3,0,1.
    const DiscoverySelect crossed(0xFFFF1032FFFF1032ull);
    EXPECT_EQ(crossed.MapForward(0x1), 0x4u);
    EXPECT_EQ(crossed.MapForward(0x3), 0xCu);
    EXPECT_EQ(crossed.MapReverse(0x4), 0x1u);
    EXPECT_EQ(crossed.MapReverse(0xF), 0xFu);
    // Ports 4..7 route nowhere (0xF) and bits above 7 are not looked at.
    EXPECT_EQ(crossed.MapForward(0xFFFFFFF0), 0u);

    // Entries 8..14 are not ports either.
    const DiscoverySelect odd(0x00000009000000A1ull);
    EXPECT_EQ(odd.MapReverse(0x3), 0x2u);  // entry 0 = 1; entry 1 = 0xA skipped
    EXPECT_EQ(odd.MapForward(0x1), 0u);    // entry 0 = 9 skipped
    EXPECT_EQ(odd.MapForward(0x2), 0x1u);  // entry 1 = 0

    EXPECT_EQ(DiscoverySelect(DiscoverySelect::kNoRoutes).MapForward(0xFF), 0u);
    EXPECT_EQ(DiscoverySelect().MapForward(0xA5), 0xA5u);
}
