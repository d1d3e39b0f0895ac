#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <thread>

#include "SimBoard.h"
#include "SimInstanceChoice.h"
#include "cxp/CxpControllerImpl.h"
#include "cxp/InterProcessLock.h"
#include "discovery/DiscoveryInfo.h"
#include "protocol/CxpBootstrap.h"

using namespace cxp_test;
using vexo::genicam::Access;
using vexo::genicam::AcknowledgeMode;
using vexo::genicam::ByteSwap;
using vexo::genicam::CxpController;
using vexo::genicam::CxpControllerImpl;
namespace bootstrap = vexo::protocol::cxp::bootstrap;
using vexo::genicam::DiscoveryInfo;

namespace {

constexpr uint32_t kBoard = 0;
constexpr uint32_t kMasterOfFirstCamera = 1;  // host id of the camera whose master link is on port 0
constexpr uint32_t kUserIdAddress = bootstrap::kDeviceUserId.address;

// A controller on the default topology after discovery: both cameras have
// their links up and the first camera's commands go through applet port 0.
class CxpTransport : public ::testing::Test {
protected:
    void SetUp() override {
        board_ = std::make_unique<ControllerUnderTest>();
        ASSERT_EQ(Controller().Discovery(0, 0, 0xF, 0), 0);
    }

    CxpController &Controller() { return *board_->controller; }
    CxpControllerImpl &Impl() { return Controller().Impl(); }
    DiscoveryInfo &Info() { return *Controller().GetDiscoveryInfo(false); }
    uint32_t TransmitAddress(uint32_t port) {
        return Impl().Registers().Address(vexo::genicam::cxp::CxpRegister::kTxCmdWriteData, port);
    }
    int32_t WriteUserId(uint32_t value, AcknowledgeMode acknowledgeMode = AcknowledgeMode::kRequired) {
        return Controller().WriteRegister(0, kUserIdAddress, value, ByteSwap::kSwapWords, acknowledgeMode, 0);
    }

    std::unique_ptr<ControllerUnderTest> board_;
};

}  // namespace

// Packet sizes and contents at every camera packet size: CxpBulkTransfers.
TEST_F(CxpTransport, TransfersGoOutInPacketsOfTheCamerasSizeTaggedForRevisionTwo) {
    // Words written to the transmit register per packet: start, type, command, address, CRC, end, and a tag.
    const auto packetWords = [](bool tagged) { return 6u + (tagged ? 1u : 0u); };
    {
        RecordingHardware recording;
        EXPECT_EQ(CameraRegister(Controller(), 0, bootstrap::kStandard, ByteSwap::kWireOrder), 0xE59AA7C0u)
            << "without the swap flag the data stays in wire order";
        EXPECT_EQ(recording.WritesTo(TransmitAddress(0)).size(), packetWords(true));
    }
    // A recorded size of 128 bytes: 26 words per packet untagged, 25 tagged; three packets for 64 words.
    Info().SetControlPacketSize(kMasterOfFirstCamera, 128);
    for (const uint32_t revision : {0x00010001u, 0x00020000u}) {
        SCOPED_TRACE(revision);
        Info().SetProtocolRevision(kMasterOfFirstCamera, revision);
        RecordingHardware recording;
        std::array<uint8_t, 256> block{};
        // Without acknowledgments every packet goes out, whatever the camera thinks of it.
        const vexosim_port_stats before = Stats(kBoard, 0);
        EXPECT_EQ(Impl().ExecRWPacket(Access::kWrite, 0, 0x6000, block.data(), 256, ByteSwap::kWireOrder,
                                      AcknowledgeMode::kNone, 200),
                  0);
        EXPECT_EQ(recording.WritesTo(TransmitAddress(0)).size(), 64 + 3 * packetWords(revision >= 0x00020000));
        EXPECT_EQ(Stats(kBoard, 0).commandsReceived - before.commandsReceived, 3u);
    }
}

TEST_F(CxpTransport, WaitAndTentativeAcknowledgmentsPostponeAWrite) {
    ASSERT_EQ(vexosim_fault(kBoard, 0, "wait_ack:30", 1), 0);
    EXPECT_EQ(WriteUserId(0x41424344), 0);
    ASSERT_EQ(vexosim_fault(kBoard, 0, "tentative_ack", 1), 0);
    EXPECT_EQ(WriteUserId(0x45464748), 0);
    EXPECT_EQ(CameraRegister(Controller(), 0, kUserIdAddress), 0x45464748u);
    // A read has no use for a postponed answer.
    ASSERT_EQ(vexosim_fault(kBoard, 0, "wait_ack:30", 1), 0);
    uint32_t value = 0;
    EXPECT_EQ(Controller().ReadRaw(0, kUserIdAddress, &value, 4, ByteSwap::kSwapWords, 0), ERR_GENCP_TOO_FEW_DATA);
}

TEST_F(CxpTransport, MalformedAcknowledgmentsAreResentFourTimesAtMost) {
    for (const auto &[malformed, status] : {std::pair<int, int32_t>{4, 0}, std::pair<int, int32_t>{5, ERR_GENCP_TOO_FEW_DATA}}) {
        const vexosim_port_stats before = Stats(kBoard, 0);
        ASSERT_EQ(vexosim_fault(kBoard, 0, "malformed_ack", malformed), 0);
        EXPECT_EQ(WriteUserId(malformed), status) << malformed << " malformed";
        EXPECT_EQ(Stats(kBoard, 0).commandsReceived - before.commandsReceived, 5u) << malformed << " malformed";
    }
}

// Error codes, broken CRCs and missing answers to reads: FaultMatrix's rows.
TEST_F(CxpTransport, ErrorAcknowledgmentsAndMissingOnesEndTheExchange) {
    // The camera's refusal of a write: the words were not transferred.
    EXPECT_EQ(Controller().WriteRegister(0, bootstrap::kStandard, 1, ByteSwap::kSwapWords, AcknowledgeMode::kRequired, 0), ERR_GENCP_TOO_FEW_DATA);
    // No answer: required fails, optional succeeds.
    ASSERT_EQ(vexosim_fault(kBoard, 0, "no_ack", 1), 0);
    EXPECT_EQ(WriteUserId(4, AcknowledgeMode::kRequired), ERR_GENCP_TOO_FEW_DATA);
    ASSERT_EQ(vexosim_fault(kBoard, 0, "no_ack", 1), 0);
    EXPECT_EQ(WriteUserId(5, AcknowledgeMode::kOptional), 0);
    // An unknown acknowledge mode sends the packet but cannot finish it.
    EXPECT_EQ(WriteUserId(6, static_cast<AcknowledgeMode>(3)), ERR_GENCP_TOO_FEW_DATA);
    // Afterwards the port works as before.
    EXPECT_EQ(CameraRegister(Controller(), 0, bootstrap::kStandard), vexo::protocol::cxp::kStandardMagic);
}

TEST_F(CxpTransport, ArgumentsThatCannotBeServedAreRefusedUpFront) {
    RecordingHardware recording;
    EXPECT_EQ(Impl().ExecRWPacket(Access::kRead, 0, 0, nullptr, 4, ByteSwap::kSwapWords, AcknowledgeMode::kRequired, 200), ERR_INVALID_POINTER);
    EXPECT_EQ(Controller().ReadMemory(0, 0, nullptr, 4, 0), ERR_INVALID_POINTER);
    EXPECT_EQ(Controller().WriteMemory(0, 0, nullptr, 4, ByteSwap::kWireOrder, 0), ERR_INVALID_POINTER);
    uint32_t value = 0;
    EXPECT_EQ(Controller().ReadRaw(0, 0x100000000ull, &value, 4, ByteSwap::kSwapWords, 0), ERR_INVALID_ARGUMENT);
    EXPECT_EQ(Controller().ReadRaw(0, 0xFFFFFFFCull, &value, 8, ByteSwap::kSwapWords, 0), ERR_INVALID_ARGUMENT);
    EXPECT_EQ(recording.Reads() + recording.Writes(), 0u);
    // A port without a control channel.
    EXPECT_EQ(Controller().ReadRaw(5, 0, &value, 4, ByteSwap::kSwapWords, 0), ERR_GENCP_TOO_FEW_DATA);
    EXPECT_EQ(Controller().ReadStreamPacketSizeMax(0, nullptr), ERR_INVALID_POINTER);
}

TEST_F(CxpTransport, PartialWordsAreReadAndWrittenWhole) {
    // Six bytes of the vendor name: the caller's seventh byte stays as it was.
    char vendor[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(Controller().ReadRaw(0, bootstrap::kDeviceVendorName.address, vendor, 6, ByteSwap::kWireOrder, 0), 0);
    EXPECT_EQ(std::string(vendor, 8), "Vexo Vxx");
    // Six bytes written: the tail word carries them, zero padded.
    EXPECT_EQ(Controller().WriteRaw(0, kUserIdAddress, "abcdef", 6, ByteSwap::kWireOrder, 0), 0);
    char readBack[8] = {};
    EXPECT_EQ(Controller().ReadMemory(0, kUserIdAddress, readBack, 8, 0), 0);
    EXPECT_EQ(std::string(readBack, 8), std::string("abcdef\0\0", 8));
}

TEST(CxpTransportWithoutCrc, AcknowledgmentsWithoutCrcAreAccepted) {
    ControllerUnderTest board(OneBoard(R"({"model": "cxp2-c", "cameras": [{"links": [0], "ack_crc": false}]})"));
    ASSERT_EQ(board.controller->Discovery(0, 0, 0x3, 0), 0);
    EXPECT_EQ(CameraRegister(*board.controller, 0, bootstrap::kConnectionConfig), 0x00010058u);
}

namespace {

// 64 KiB written and read back, packet after packet, by cameras of four
// packet sizes; `revisions` gives each its revision (tagged or untagged commands).
void TransferSixtyFourKibibytes(const std::array<const char *, 4> &revisions) {
    constexpr uint32_t kBytes = 64 << 10;
    constexpr uint32_t kScratch = 0x10000000;
    constexpr std::array<uint32_t, 4> kPacketSizes = {32, 128, 1024, 4096};
    std::string cameras;
    for (uint32_t port = 0; port < 4; ++port)
        cameras += std::string(port ? ", " : "") + R"({"links": [)" + std::to_string(port) +
                   R"(], "control_packet_size": )" + std::to_string(kPacketSizes[port]) + R"(, "revision": ")" +
                   revisions[port] + R"(", "scratch_bytes": 65536})";
    ControllerUnderTest board(OneBoard(R"({"model": "cxp4-c", "cameras": [)" + cameras + "]}"));
    ASSERT_EQ(board.controller->Discovery(0, 0, 0xF, 0), 0);
    std::vector<uint8_t> pattern(kBytes);
    for (uint32_t i = 0; i < kBytes; ++i) pattern[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    for (uint32_t port = 0; port < 4; ++port) {
        const bool tagged = std::string(revisions[port]) == "2.0";
        SCOPED_TRACE(std::to_string(kPacketSizes[port]) + "-byte packets, " + (tagged ? "tagged" : "untagged"));
        const vexosim_port_stats before = Stats(kBoard, port);
        ASSERT_EQ(board.controller->WriteMemory(port, kScratch, pattern.data(), kBytes, ByteSwap::kWireOrder, 0), 0);
        std::vector<uint8_t> back(kBytes);
        ASSERT_EQ(board.controller->ReadMemory(port, kScratch, back.data(), kBytes, 0), 0);
        EXPECT_EQ(back, pattern);
        const vexosim_port_stats after = Stats(kBoard, port);
        EXPECT_EQ(after.bytesWritten - before.bytesWritten, kBytes);
        EXPECT_EQ(after.bytesRead - before.bytesRead, kBytes);
        // The largest packets the camera and the board allow (2048 bytes), less one word for a tag.
        const uint32_t words = (std::min(kPacketSizes[port], 2048u) - 8) / 4 - 4 - (tagged ? 1 : 0);
        EXPECT_EQ(after.commandsReceived - before.commandsReceived, 2 * ((kBytes / 4 + words - 1) / words));
    }
}

}  // namespace

TEST(CxpBulkTransfers, TaggedAndUntaggedAtEveryPacketSize) {
    TransferSixtyFourKibibytes({"2.0", "1.1", "2.0", "1.1"});
    TransferSixtyFourKibibytes({"1.1", "2.0", "1.1", "2.0"});
}

// Another program on the board (one of the same simulator instance) takes the
// board's register lock: it must not get it while one of our commands waits
// for its acknowledgment, and a command that cannot get it in time fails with
// a record instead of waiting on. Programs of other instances never meet it.
TEST(CxpBoardLock, CoversAWholeCommandAndIsAwaitedBoundedly) {
    nox_test_own_sim_instance("board-lock");
    const std::string topology = LastBoard(R"({"model": "cxp4-c", "cameras": [{"links": [0]}]})");
    nox_test::TempDirectory directory;
    const std::filesystem::path log = CaptureLog(directory);
    ASSERT_EQ(vexosim_load_topology(topology.c_str()), 0);
    ControllerUnderTest under(InForce{}, 15);
    CxpController &controller = *under.controller;
    const SimBoard &board = under.board;
    ASSERT_EQ(controller.Discovery(0, 0, 0xF, 0), 0);
    vexo::genicam::InterProcessLock otherProgram = vexo::genicam::OpenBoardRegisterLock(board.Device(), board.Index());
    vexo::genicam::InterProcessLock machineBoard(vexo::genicam::BoardRegisterLockName(board.Index()));
    ASSERT_NE(otherProgram.Name(), machineBoard.Name());
    // A read from a thread of its own, which the lock held here would keep waiting.
    const auto readElsewhere = [&] {
        int32_t status = ERR_NONE;
        std::thread([&] {
            uint32_t value = 0;
            status = controller.ReadRaw(0, kUserIdAddress, &value, 4, ByteSwap::kSwapWords, 0);
        }).join();
        return status;
    };
    ASSERT_TRUE(machineBoard.TryLock(std::chrono::milliseconds(0)));
    EXPECT_EQ(readElsewhere(), ERR_NONE);
    machineBoard.Unlock();

    const uint64_t sent = Stats(board.Index(), 0).commandsReceived;
    ASSERT_EQ(vexosim_fault(board.Index(), 0, "wait_ack:400", 1), 0);
    std::thread writer([&] {
        EXPECT_EQ(controller.WriteRegister(0, kUserIdAddress, 1, ByteSwap::kSwapWords, AcknowledgeMode::kRequired, 0), 0);
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Stats(board.Index(), 0).commandsReceived == sent && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    const bool takenDuringTheCommand = otherProgram.TryLock(std::chrono::milliseconds(0));
    if (takenDuringTheCommand) otherProgram.Unlock();
    writer.join();
    EXPECT_FALSE(takenDuringTheCommand) << "the lock was free while the acknowledgment was awaited";

    ASSERT_TRUE(otherProgram.TryLock(std::chrono::seconds(10)));
    EXPECT_EQ(readElsewhere(), ERR_OPERATION_BLOCKED);
    otherProgram.Unlock();
    EXPECT_TRUE(Contains(LogTexts(log, "error"), "Timed out waiting for the register lock " + otherProgram.Name()));
}
