// Discovery on every CoaXPress model, in three shapes, with links that take
// from no time to 5 ms to lock: every camera found at its best bit rate,
// discovery after discovery.
#include <gtest/gtest.h>

#include <memory>

#include "DiscoveryMatrix.h"
#include "SimBoard.h"

using namespace cxp_test;

namespace {

constexpr int kDiscoveriesPerCase = 3;

class CxpDiscoveryMatrix : public testing::TestWithParam<MatrixCase> {};

}  // namespace

TEST_P(CxpDiscoveryMatrix, FindsEveryCameraAtItsBestBitRate) {
    const MatrixTopology topology = BuildMatrixTopology(GetParam());
    ASSERT_EQ(vexosim_load_topology(topology.json.c_str()), 0) << topology.json;
    std::vector<std::unique_ptr<ControllerUnderTest>> boards;
    for (uint32_t index = 0; index < topology.boards; ++index)
        boards.push_back(std::make_unique<ControllerUnderTest>(InForce{}, index));
    for (int discovery = 0; discovery < kDiscoveriesPerCase; ++discovery)
        for (uint32_t index = 0; index < topology.boards; ++index) {
            SCOPED_TRACE("discovery " + std::to_string(discovery) + " on board " + std::to_string(index));
            ExpectDiscoveryFinds(*boards[index]->controller, topology.cameras);
        }
}

INSTANTIATE_TEST_SUITE_P(Models, CxpDiscoveryMatrix, testing::ValuesIn(AllMatrixCases()),
                         [](const testing::TestParamInfo<MatrixCase> &info) { return CaseName(info.param); });
