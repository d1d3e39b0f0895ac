#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "board/BoardLibraries.h"
#include "board/FirmwareControllerBase.h"
#include "discovery/DiscoveryInfo.h"

using vexo::genicam::BoardLibraries;
using vexo::genicam::AcknowledgeMode;
using vexo::genicam::ByteSwap;
using vexo::genicam::DiscoveryInfo;
using vexo::genicam::DiscoverySelect;
using vexo::genicam::FirmwareControllerBase;
using Clock = std::chrono::steady_clock;

namespace {

// The operations every kind must supply, answering "not done".
class MinimalController : public FirmwareControllerBase {
public:
    using FirmwareControllerBase::FirmwareControllerBase;
    int32_t WriteMemory(uint32_t, uint64_t, const void *, uint32_t, ByteSwap, uint32_t) override { return -1; }
    int32_t WriteRaw(uint32_t, uint64_t, const void *, uint32_t, ByteSwap, uint32_t) override { return -1; }
    int32_t WriteRegister(uint32_t, uint64_t, uint32_t, ByteSwap, AcknowledgeMode, uint32_t) override { return -1; }
    int32_t ReadMemory(uint32_t, uint64_t, void *, uint32_t, uint32_t) override { return -1; }
    int32_t ReadRaw(uint32_t, uint64_t, void *, uint32_t, ByteSwap, uint32_t) override { return -1; }
    DiscoveryInfo *GetDiscoveryInfo(bool) override { return &info_; }
    int32_t Discovery(uint32_t, uint32_t, uint32_t, uint32_t) override { return -1; }

private:
    DiscoveryInfo info_;
};

// Keeps the routing it is given and records power switching with its time.
class RecordingController : public MinimalController {
public:
    struct PowerCall {
        std::string operation;
        uint32_t mask;
        uint32_t word;
        Clock::time_point time;
    };

    using MinimalController::MinimalController;
    int32_t SetDiscoverySelect(DiscoverySelect value) override {
        routing = value;
        return 0;
    }
    DiscoverySelect GetDiscoverySelect() override { return routing; }
    void PowerOn(uint32_t mask, uint32_t word) override { calls.push_back({"on", mask, word, Clock::now()}); }
    void PowerOff(uint32_t mask, uint32_t word) override { calls.push_back({"off", mask, word, Clock::now()}); }

    DiscoverySelect routing{DiscoverySelect::kNoRoutes};
    std::vector<PowerCall> calls;
};

// Puts the recording stand-in hardware library behind the board library operations.
class FirmwareControllerBaseTest : public ::testing::Test {
protected:
    void SetUp() override { previous_ = BoardLibraries::ReplaceProcess(&libraries_); }
    void TearDown() override { BoardLibraries::ReplaceProcess(previous_); }

    static std::string CallLog() {
        void *library = ::dlopen(RECORDING_HAL, RTLD_NOW | RTLD_NOLOAD);
        if (library == nullptr) return "not loaded";
        auto log = reinterpret_cast<const char *(*)()>(::dlsym(library, "stub_call_log"));
        std::string text = log ? log() : "no log";
        ::dlclose(library);
        return text;
    }

    static constexpr uint64_t kDevice = 0xAB0000 + 0x0B41;  // reports board type 0x0B41
    static constexpr uint64_t kApplet = 0x5000;

private:
    BoardLibraries libraries_{[] { return std::optional<std::string>(RECORDING_INSTALLATION); }};
    BoardLibraries *previous_ = nullptr;
};

}  // namespace

TEST_F(FirmwareControllerBaseTest, ConstructionReadsTypeIndexAndFirmwareInOrder) {
    MinimalController controller(kDevice, kApplet, nullptr);
    EXPECT_EQ(CallLog(), "board/type;index(0);firmware/major;firmware/minor;");
    EXPECT_EQ(controller.BoardType(), 0x0B41);
    EXPECT_EQ(controller.BoardIndex(), 2u);
    // Low bytes only: major 0x02, minor 0x0B.
    EXPECT_EQ(controller.FirmwareVersion(), 0x020B);
}

TEST_F(FirmwareControllerBaseTest, BaseOperationsAnswerForKindsWithoutTheFeature) {
    MinimalController controller(kDevice, kApplet, nullptr);
    // Packet size reads report 0 through the out value; a null one is not written.
    uint32_t out = 77;
    EXPECT_EQ(controller.ReadStreamPacketSizeMax(0, &out), 0);
    EXPECT_EQ(out, 0u);
    out = 77;
    EXPECT_EQ(controller.ReadControlPacketSizeMax(0, &out), 0);
    EXPECT_EQ(out, 0u);
    EXPECT_EQ(controller.ReadControlPacketSizeMax(0, nullptr), 0);
    // No routing interface: the reset is refused and every mapped mask is empty.
    controller.ResetDiscoverySelect();
    EXPECT_EQ(controller.GetDiscoverySelect().Value(), ~0ull);
    EXPECT_EQ(controller.MapPortMaskForward(0xF), 0u);
    EXPECT_EQ(controller.MapPortMaskReverse(0xF), 0u);
    EXPECT_EQ(controller.SetUplinkSpeed(0, 1), ERR_INTERNAL);
    EXPECT_EQ(controller.SetControlCoreReset(0xF, 7), ERR_INTERNAL);
}

TEST_F(FirmwareControllerBaseTest, SwitchPowerCyclesWithAPauseOfOneSecond) {
    RecordingController controller(kDevice, kApplet, nullptr);
    const auto calls = [&] {
        std::vector<std::string> texts;
        for (const auto &call : controller.calls)
            texts.push_back(call.operation + " " + std::to_string(call.mask) + "/" + std::to_string(call.word));
        return texts;
    };
    controller.SwitchPower(0x3, 0);
    controller.SwitchPower(0x4, 1);
    controller.SwitchPower(0x8, 3);
    EXPECT_EQ(calls(), (std::vector<std::string>{"off 3/0", "on 4/0"}));

    controller.calls.clear();
    controller.SwitchPower(0xF, 2);
    ASSERT_EQ(calls(), (std::vector<std::string>{"off 15/1", "on 15/0"}));
    const auto pause = controller.calls[1].time - controller.calls[0].time;
    EXPECT_GE(pause, std::chrono::milliseconds(1000));
    EXPECT_LT(pause, std::chrono::milliseconds(3000));
}

TEST_F(FirmwareControllerBaseTest, MasksMapThroughTheCurrentRouting) {
    RecordingController controller(kDevice, kApplet, nullptr);
    controller.ResetDiscoverySelect();
    EXPECT_EQ(controller.routing.Value(), 0x7654321076543210ull);
    EXPECT_EQ(controller.MapPortMaskForward(0x5), 0x5u);

    // Camera ports 0..3 feed applet ports 2, 3, 0 and nothing; applet port 1 is fed by nothing.
    controller.routing = DiscoverySelect(0xFFFFF032FFFF10F2ull);
    EXPECT_EQ(controller.MapPortMaskForward(0xF), 0xDu);
    EXPECT_EQ(controller.MapPortMaskReverse(0x4), 0x1u);
    EXPECT_EQ(controller.DiscoverySelectForwardEntry(1), 3u);
    EXPECT_EQ(controller.DiscoverySelectReverseEntry(3), 1u);
    // Entries of 8 to 14 are no ports either.
    controller.routing = DiscoverySelect(0x0000000800000009ull);
    EXPECT_EQ(controller.MapPortMaskForward(0x3), 0x1u);
    EXPECT_EQ(controller.MapPortMaskReverse(0x3), 0x1u);
}

TEST_F(FirmwareControllerBaseTest, PerPortArraysIgnorePortsBeyondFour) {
    MinimalController controller(kDevice, kApplet, nullptr);
    for (uint32_t port : {3u, 4u, 0xFFFFFFFFu}) {
        controller.SetDownlinkBitRate(port, 12500);
        controller.SetUplinkSetting(port, 1);
        EXPECT_EQ(controller.GetDownlinkBitRate(port), port == 3 ? 12500u : 0u) << port;
        EXPECT_EQ(controller.GetUplinkSetting(port), port == 3 ? 1u : 0u) << port;
    }
}

TEST_F(FirmwareControllerBaseTest, ConsoleTraceLinesCarryTheirTimeOnlyWhileEnabled) {
    using std::chrono::nanoseconds;
    EXPECT_EQ(FirmwareControllerBase::FormatConsoleTraceLine(nanoseconds(1'234'999'999), "x"), "[  1.234] x\n");
    EXPECT_EQ(FirmwareControllerBase::FormatConsoleTraceLine(std::chrono::milliseconds(1'234'567), "late"), "[1234.567] late\n");

    MinimalController controller(kDevice, kApplet, nullptr);
    ::testing::internal::CaptureStdout();
    controller.ConsoleTrace("hidden");
    controller.EnableConsoleTrace(true);
    controller.ConsoleTrace("[CXP::LockLinksAtSpeed] ... CXP control core reset.");
    controller.EnableConsoleTrace(false);
    controller.ConsoleTrace("hidden again");
    const std::string output = ::testing::internal::GetCapturedStdout();
    EXPECT_THAT(output, ::testing::MatchesRegex(
                            "\\[  [0-9]\\.[0-9]{3}\\] \\[CXP::LockLinksAtSpeed\\] \\.\\.\\. CXP control core reset\\.\n"));
}
