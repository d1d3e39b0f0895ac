#include <gtest/gtest.h>

#include <chrono>

#include "SimBoard.h"
#include "cxp/CxpPowerReadings.h"
#include "platform/Environment.h"

using namespace cxp_test;
using vexo::genicam::CxpController;
using vexo::templates::platform::SetEnvironment;

namespace {

constexpr uint32_t kUnsigned = 1;
constexpr uint32_t kMeasurement = 2;

uint32_t UnsignedProperty(CxpController &controller, uint32_t id, uint32_t port) {
    uint32_t value = 0xDEADBEEF;
    EXPECT_EQ(controller.GetBoardProperty(id, &value, kUnsigned, port), 0) << id << " " << port;
    return value;
}

double Measurement(CxpController &controller, uint32_t id, uint32_t port) {
    double value = -1.0;
    EXPECT_EQ(controller.GetBoardProperty(id, &value, kMeasurement, port), 0) << id << " " << port;
    return value;
}

struct FamilyCase {
    const char *model;
    uint32_t off, onWithoutLoad, onWithCamera;
};

}  // namespace

TEST(CxpPower, PowerOnSetsTheBitsOfExistingPortsOnly) {
    ControllerUnderTest board(OneBoard(R"({"model": "cxp2-c", "power_on_at_start": false})"));
    EXPECT_EQ(board.board.Read("rCxpPowerEnablePower"), 0u);
    board.controller->PowerOn(0xF, 0);
    EXPECT_EQ(board.board.Read("rCxpPowerEnablePower"), 0x3u);
    board.controller->PowerOff(0x1, 0);
    EXPECT_EQ(board.board.Read("rCxpPowerEnablePower"), 0x2u);
    ControllerUnderTest powered(OneBoard(R"({"model": "cxp4-a", "power_on_at_start": false})"), 1);
    EXPECT_EQ(powered.board.Read("rCxpPowerEnablePower"), 0xFu) << "construction can power every port";
}

TEST(CxpPower, UnchangedPowerDoesNotWait) {
    SetEnvironment("VEXO_CXP_WAIT_AFTER_POWERUP", "3000");
    ControllerUnderTest board;  // every port powered from the start
    const auto start = std::chrono::steady_clock::now();
    board.controller->PowerOn(0x5, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
    EXPECT_EQ(board.board.Read("rCxpPowerEnablePower"), 0xFu);
}

TEST(CxpPower, PowerStateVoltageAndCurrentOfEveryFamily) {
    const FamilyCase families[] = {{"cxp4-a", 0, 1, 2}, {"cxp4-b", 0, 1, 2}, {"cxp4-c", 0, 3, 5}};
    for (const FamilyCase &family : families) {
        ControllerUnderTest board(OneBoard(std::string(R"({"model": ")") + family.model + R"(", "cameras": [{"links": [0]}]})"));
        CxpController &controller = *board.controller;
        EXPECT_EQ(UnsignedProperty(controller, 7, 0), family.onWithCamera) << family.model;
        EXPECT_EQ(UnsignedProperty(controller, 7, 1), family.onWithoutLoad) << family.model;
        EXPECT_NEAR(Measurement(controller, 8, 0), 24.0, 1e-9) << family.model;
        EXPECT_NEAR(Measurement(controller, 9, 0), 500.0, 1e-9) << family.model;
        EXPECT_NEAR(Measurement(controller, 9, 1), 0.0, 1e-9) << family.model;
        controller.PowerOff(0x1, 0);
        EXPECT_EQ(UnsignedProperty(controller, 7, 0), family.off) << family.model;
        EXPECT_NEAR(Measurement(controller, 8, 0), 0.0, 1e-9) << family.model;
    }
}

TEST(CxpPower, BoardPropertiesAndTheirRefusals) {
    ControllerUnderTest board(OneBoard(R"({"model": "cxp2-c", "cameras": [{"links": [0]}]})"));
    CxpController &controller = *board.controller;
    ASSERT_EQ(controller.Discovery(0, 0, 0x3, 0), 0);
    EXPECT_EQ(UnsignedProperty(controller, 6, 0), 1u);
    EXPECT_EQ(UnsignedProperty(controller, 5, 0), 1u);
    EXPECT_EQ(UnsignedProperty(controller, 12, 0), 1u);
    EXPECT_EQ(UnsignedProperty(controller, 12, 1), 0u);
    EXPECT_EQ(UnsignedProperty(controller, 11, 0), 0u);  // a locked link makes no errors
    EXPECT_GT(UnsignedProperty(controller, 11, 1), 0u);  // an empty port counts them
    // Port 3 of a two-port board.
    EXPECT_EQ(UnsignedProperty(controller, 7, 3), vexo::genicam::cxp::kPowerStateUnknown);
    EXPECT_NEAR(Measurement(controller, 8, 3), 0.0, 1e-9);
    EXPECT_EQ(UnsignedProperty(controller, 5, 3), 0u);

    uint32_t word = 77;
    double number = 7.0;
    EXPECT_EQ(controller.GetBoardProperty(10, &word, kUnsigned, 0), ERR_UNKNOWN_PROPERTY);
    EXPECT_EQ(controller.GetBoardProperty(13, &word, kUnsigned, 0), ERR_UNKNOWN_PROPERTY);
    EXPECT_EQ(controller.GetBoardProperty(7, &word, kUnsigned, 5), ERR_INVALID_LINK_INDEX);
    // A measurement never lands in a buffer of a 32-bit word, nor a word in a measurement's.
    EXPECT_EQ(controller.GetBoardProperty(8, &word, kUnsigned, 0), ERR_INVALID_DATA_TYPE);
    EXPECT_EQ(controller.GetBoardProperty(7, &number, kMeasurement, 0), ERR_INVALID_DATA_TYPE);
    EXPECT_EQ(controller.GetBoardProperty(7, nullptr, kUnsigned, 0), ERR_INVALID_POINTER);
    EXPECT_EQ(word, 77u);
    EXPECT_EQ(number, 7.0);
}
