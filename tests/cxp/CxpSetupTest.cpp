#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "SimBoard.h"
#include "cxp/CxpControllerImpl.h"
#include "cxp/PacketCaptureFile.h"
#include "platform/Environment.h"
#include "protocol/CxpBootstrap.h"

using namespace cxp_test;
using vexo::genicam::CxpController;
namespace bootstrap = vexo::protocol::cxp::bootstrap;
using vexo::templates::platform::SetEnvironment;

namespace {

struct ModelCase {
    const char *board;
    uint32_t ports;
    uint32_t interfaceType;
};

// Changes the working directory for the scope.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::filesystem::path &path) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(path);
    }
    ~WorkingDirectory() { std::filesystem::current_path(previous_); }

private:
    std::filesystem::path previous_;
};

}  // namespace

TEST(CxpSetup, EveryModelGivesItsPortCountAndTransceiverInterface) {
    const ModelCase cases[] = {
        {R"({"model": "cxp4-a"})", 4, 1},
        {R"({"model": "cxp4-b"})", 4, 2},
        {R"({"model": "cxp2-b"})", 2, 3},
        {R"({"model": "cxp2-b", "applet": {"rx_status": true}})", 2, 6},
        {R"({"model": "cxp4-c"})", 4, 10},
        {R"({"model": "cxp2-c"})", 2, 10},
    };
    for (const ModelCase &model : cases) {
        ControllerUnderTest board(OneBoard(model.board));
        CxpController &controller = *board.controller;
        EXPECT_EQ(controller.GetNrOfPorts(), model.ports) << model.board;
        EXPECT_EQ(controller.Impl().InterfaceType(), model.interfaceType) << model.board;
        EXPECT_EQ(controller.GetDiscoveryInfo(false)->GetPortCount(), model.ports) << model.board;
        EXPECT_TRUE(controller.Impl().HasControlCoreReset()) << model.board;
        // Every control core held in reset, every LED in its first mode.
        for (uint32_t port = 0; port < model.ports; ++port) {
            EXPECT_EQ(board.board.Read("CxpControlCoreReset_" + std::to_string(port)), 7u) << model.board;
            EXPECT_EQ(board.board.Read("CxpLedModeSelectRead_" + std::to_string(port)), 1u) << model.board;
        }
        board.controller.reset();
        // Leaving, the LEDs show mode 2.
        EXPECT_EQ(board.board.Read("CxpLedModeSelectRead_0"), 2u) << model.board;
    }
}

TEST(CxpSetup, OlderResetNamesStillReachTheControlCores) {
    ControllerUnderTest board(OneBoard(R"({"model": "cxp4-c", "applet": {"legacy_reset_names": true}})"));
    EXPECT_TRUE(board.controller->Impl().Registers().UsesOlderResetNames());
    EXPECT_EQ(board.board.Read("CxpReset_3"), 7u);
    EXPECT_EQ(board.controller->ResetControlCore(0xF), 0);
    EXPECT_EQ(board.board.Read("CxpReset_3"), 0u);
    // Writes of the GenICam layer never reach the link configuration registers.
    EXPECT_TRUE(board.controller->IsLinkConfigRegister(bootstrap::kConnectionReset) &&
                board.controller->IsLinkConfigRegister(bootstrap::kConnectionConfig));
    EXPECT_FALSE(board.controller->IsLinkConfigRegister(bootstrap::kConnectionConfigDefault) ||
                 board.controller->IsLinkConfigRegister(0x4002));
}

TEST(CxpSetup, AnAppletWithoutTheTransceiverNamesHasNoPortsAndDiscoversNothing) {
    nox_test::TempDirectory directory;
    const auto log = CaptureLog(directory);
    ControllerUnderTest board(OneBoard(R"({"model": "cxp4-c", "applet": {"omit_registers": [
        "CxpTransceiverStatus_", "CxpTransceiverDownLinkBitRate_", "CxpControlCoreReset_"]}})"));
    CxpController &controller = *board.controller;
    EXPECT_EQ(controller.GetNrOfPorts(), 0u);
    EXPECT_EQ(controller.Impl().InterfaceType(), 0u);
    EXPECT_FALSE(controller.Impl().HasControlCoreReset());
    for (uint32_t mask : {0x0u, 0x1u, 0xFu, 0xFFFFFFFFu}) EXPECT_EQ(controller.Discovery(0, 0, mask, 0), ERR_INVALID_PORT);
    EXPECT_EQ(controller.ResetControlCore(0xF), ERR_NO_CXP_INTERFACE);
    EXPECT_TRUE(Contains(LogTexts(log, "warning"), "Failed to detect CXP core interface type"));
    EXPECT_TRUE(Contains(LogTexts(log, "error"), "Invalid port mask 15"));
}

TEST(CxpSetup, SettingsAreLoggedOnceWithTheirValues) {
    nox_test::TempDirectory directory;
    const auto log = CaptureLog(directory, "vexo.genicam.CxpController=3");
    SetEnvironment("VEXO_CXP_COMMAND_ACK_TIMEOUT", "450");
    SetEnvironment("VEXO_CXP_WAIT_AFTER_POWERUP", "-5");  // a negative wait is no wait
    SetEnvironment("VEXO_CXP_RECEIVE_ACK_PACKET_AFTER_CAMERA_CONFIG_CHANGED", "on");
    ControllerUnderTest board;
    EXPECT_EQ(board.controller->Settings().commandAckTimeoutMs, 450u);
    EXPECT_EQ(board.controller->Settings().waitAfterPowerupMs, 0u);
    const std::vector<std::string> infos = LogTexts(log, "info");
    EXPECT_EQ(std::set<std::string>(infos.begin(), infos.end()).size(), infos.size()) << "each setting once";
    EXPECT_TRUE(Contains(infos, "Using VEXO_CXP_COMMAND_ACK_TIMEOUT\t\t\t\t\t\t(ms) = 450"));
    EXPECT_TRUE(Contains(infos, "Using VEXO_CXP_RECEIVE_ACK_PACKET_AFTER_CAMERA_CONFIG_CHANGED  = On"));
}

TEST(CxpSetup, TheBoardNeverSendsControlPacketsAbove2048Bytes) {
    const std::pair<const char *, uint32_t> cases[] = {{"4096", 2048}, {"0", 2048}, {"512", 512}, {"no number", 2048}};
    for (const auto &[setting, expected] : cases) {
        SetEnvironment("VEXO_CXP_MAX_CONTROL_PACKET_SIZE", setting);
        ControllerUnderTest board;
        EXPECT_EQ(board.controller->Impl().MaxControlPacketSize(), expected) << setting;
    }
}

TEST(CxpSetup, PacketLoggingOpensOneCaptureFilePerPort) {
    nox_test::TempDirectory directory;
    WorkingDirectory inside(directory.Path());
    SetEnvironment("VEXO_ENABLE_PCAP", "On");
    ControllerUnderTest board;
    EXPECT_EQ(board.controller->Impl().OpenPacketLogCount(), 4u);
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(directory.Path()))
        names.push_back(entry.path().filename().string());
    ASSERT_EQ(names.size(), 4u);
    // Classic capture header, little-endian: magic, 2.4, zone 0, accuracy 0, 65535, link type 147.
    const std::string headerBytes("\xD4\xC3\xB2\xA1\x02\x00\x04\x00\x00\x00\x00\x00\x00\x00\x00\x00"
                                  "\xFF\xFF\x00\x00\x93\x00\x00\x00",
                                  24);
    for (const std::string &name : names) {
        EXPECT_THAT(name, testing::MatchesRegex("packetlog-phy-cxp-0-0-[0-3]-[0-9]{8}-[0-9]{6}\\.pcap"));
        EXPECT_EQ(nox_test::ReadFile(directory / name), headerBytes) << name;
        EXPECT_EQ(std::filesystem::status(directory / name).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                      std::filesystem::perms::group_read | std::filesystem::perms::others_read);
    }
}

TEST(CxpSetup, ACaptureFileThatCannotBeCreatedStaysClosed) {
    nox_test::TempDirectory directory;
    WorkingDirectory inside(directory.Path());
    SetEnvironment("VEXO_ENABLE_PCAP", "1");
    std::tm time{};
    time.tm_year = 126;
    time.tm_mon = 11;
    time.tm_mday = 6;
    const std::string name = vexo::genicam::cxp::PacketCaptureFile::MakeFileName(0, 1, time);
    EXPECT_EQ(name, "packetlog-phy-cxp-0-0-1-20261206-000000.pcap");
    std::filesystem::create_symlink(directory / "target", directory / name);
    vexo::genicam::cxp::PacketCaptureFile file(0, 1, time);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(std::filesystem::exists(directory / "target"));
}
