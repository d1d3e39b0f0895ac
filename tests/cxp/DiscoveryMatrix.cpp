#include "DiscoveryMatrix.h"

#include <gtest/gtest.h>

#include <string_view>

#include "discovery/DiscoveryInfo.h"
#include "protocol/CxpBitRates.h"
#include "protocol/CxpBootstrap.h"
#include "SimBoard.h"

namespace cxp_test {
namespace {

using vexo::genicam::DiscoveryInfo;

struct CameraPlace {
    std::vector<uint32_t> links;
    bool revisionTwo;
};

std::string CameraJson(const CameraPlace &camera) {
    std::string links;
    for (uint32_t port : camera.links) links += (links.empty() ? "" : ", ") + std::to_string(port);
    return R"({"links": [)" + links + R"(], "revision": ")" + (camera.revisionTwo ? "2.0" : "1.1") + R"("})";
}

std::string BoardJson(const MatrixCase &c, const std::string &operators, const std::vector<CameraPlace> &cameras) {
    std::string list;
    for (const CameraPlace &camera : cameras) list += (list.empty() ? "" : ", ") + CameraJson(camera);
    return R"({"model": ")" + std::string(c.model) + R"(", "timing": {"lock_us": )" + std::to_string(c.lockUs) +
           R"(}, "applet": {"operators": )" + operators +
           R"(}, "cameras": [)" + list + "]}";
}

}  // namespace

MatrixTopology BuildMatrixTopology(const MatrixCase &c) {
    const std::string_view model(c.model);
    const bool fourPorts = model.starts_with("cxp4");
    const bool familyC = model.ends_with("-c");
    // Only family C boards run 10000 and 12500, and only for cameras of revision 2.0.
    const uint32_t fastest = familyC ? 12500 : 6250, revisionOneRate = 6250;
    std::string operators;
    std::vector<CameraPlace> cameras;
    MatrixTopology topology{"", c.shape == Shape::kTwoBoards ? 2u : 1u, {}};
    if (fourPorts) {
        operators = "[[0, 1], [2], [3]]";
        const bool crossed = c.shape == Shape::kCrossed;
        cameras = {{crossed ? std::vector<uint32_t>{1, 0} : std::vector<uint32_t>{0, 1}, true},
                   {{crossed ? 3u : 2u}, false}};
        topology.cameras = {{crossed ? 1u : 0u, 2, fastest}, {crossed ? 3u : 2u, 1, revisionOneRate}};
    } else if (c.shape == Shape::kCrossed) {
        operators = "[[0, 1]]";
        cameras = {{{1, 0}, true}};
        topology.cameras = {{1, 2, fastest}};
    } else {
        operators = "[[0], [1]]";
        cameras = {{{0}, true}, {{1}, false}};
        topology.cameras = {{0, 1, fastest}, {1, 1, revisionOneRate}};
    }
    const std::string board = BoardJson(c, operators, cameras);
    topology.json = R"({"boards": [)" + board + (topology.boards == 2 ? ", " + board : "") + "]}";
    return topology;
}

std::string CaseName(const MatrixCase &c) {
    static const char *const kShapes[] = {"default", "crossed", "two_boards"};
    std::string name = std::string(c.model) + "_" + kShapes[static_cast<int>(c.shape)] + "_lock" +
                       std::to_string(c.lockUs) + "us";
    for (char &letter : name)
        if (letter == '-') letter = '_';
    return name;
}

std::vector<MatrixCase> AllMatrixCases() {
    std::vector<MatrixCase> cases;
    for (const char *model : {"cxp4-a", "cxp4-b", "cxp2-b", "cxp4-c", "cxp2-c"})
        for (Shape shape : {Shape::kDefault, Shape::kCrossed, Shape::kTwoBoards})
            for (uint32_t lockUs : {0u, 200u, 1000u, 5000u}) cases.push_back({model, shape, lockUs});
    return cases;
}

void ExpectDiscoveryFinds(vexo::genicam::CxpController &controller, const std::vector<ExpectedCamera> &cameras) {
    const uint32_t allPorts = (1u << controller.GetNrOfPorts()) - 1;
    ASSERT_EQ(controller.Discovery(0, 0, allPorts, 0), 0);
    const DiscoveryInfo &info = *controller.GetDiscoveryInfo(false);
    std::vector<uint32_t> masters;
    info.ListCameraMasters(true, masters);
    EXPECT_EQ(masters.size(), cameras.size());
    for (const ExpectedCamera &camera : cameras) {
        SCOPED_TRACE("camera with its master link on port " + std::to_string(camera.masterPort));
        const uint32_t master = info.GetCameraMasterId(camera.masterPort);
        ASSERT_NE(master, DiscoveryInfo::kNone);
        EXPECT_EQ(info.GetCameraExtensionId(camera.masterPort), 0u);
        EXPECT_EQ(info.CountCameraLinks(master), static_cast<int32_t>(camera.links));
        EXPECT_EQ(info.GetBitRate(master), camera.bitRate);
        // The camera itself runs that configuration.
        EXPECT_EQ(CameraRegister(controller, info.GetCommandPort(master), vexo::protocol::cxp::bootstrap::kConnectionConfig),
                  camera.links << 16 | vexo::protocol::cxp::RateCode(camera.bitRate));
    }
}

}  // namespace cxp_test
