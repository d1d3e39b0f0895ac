// Masks mapped through the routing, with its empty and out-of-port entries:
// FirmwareControllerBaseTest. Here the tables' assignment.
#include <gtest/gtest.h>

#include "discovery/DiscoverySelect.h"

using vexo::genicam::DiscoverySelect;

TEST(DiscoverySelect, AssignmentKeepsTheTablesInverse) {
    DiscoverySelect routing(DiscoverySelect::kNoRoutes);
    routing.Assign(1, 0);
    routing.Assign(0, 3);
    EXPECT_EQ(routing.Value(), 0xFFFFFF03FFFF0FF1ull);
    EXPECT_EQ(routing.ForwardEntry(1), 0u);
    EXPECT_EQ(routing.ReverseEntry(0), 1u);
    EXPECT_EQ(routing.ForwardEntry(8), DiscoverySelect::kNoEntry);
    // Out-of-table ports change nothing.
    routing.Assign(8, 2);
    routing.Assign(2, 8);
    routing.Assign(0xFFFFFFFF, 0xFFFFFFFF);
    EXPECT_EQ(routing.Value(), 0xFFFFFF03FFFF0FF1ull);
    // Reassigning an entry leaves every other entry alone.
    routing.Assign(7, 7);
    EXPECT_EQ(routing.Value(), 0x7FFFFF037FFF0FF1ull);
}
