// Discovery of the default topology as a user runs it: the simulator's
// default timing and every runtime-setting wait at its default.
#include <gtest/gtest.h>

#include "DiscoveryMatrix.h"
#include "SimBoard.h"

using namespace cxp_test;

TEST(CxpDiscoveryWithDefaultWaits, FindsBothCamerasOfTheDefaultTopologyAtTheirBestBitRates) {
    const MatrixTopology topology = BuildMatrixTopology({"cxp4-c", Shape::kDefault, 200});
    ControllerUnderTest board(topology.json.c_str());
    ExpectDiscoveryFinds(*board.controller, topology.cameras);
}
