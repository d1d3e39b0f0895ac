// The message channel, MDIO and GenCP over the message channel of the Camera
// Link HS controller against the simulated board: wire words, every channel
// fault, MDIO command words and retries, resends and pending acknowledges.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "ClhsBoard.h"
#include "nox_genicam.h"
#include "protocol/ClhsRegisters.h"
#include "protocol/GenCp.h"

namespace clhs_test {
namespace {

using namespace vexo::genicam;
using clhs::ClhsGenCpChannel;
using clhs::ClhsMdio;
using Clock = std::chrono::steady_clock;
namespace wire = vexo::protocol::clhs;
namespace gencp = vexo::protocol::gencp;

constexpr uint32_t kVersionAck[] = {0x00005040, 0x00010000, 0x00000801, 0x00040001, 0x00000100};

std::vector<uint32_t> ReadVersion(uint16_t requestId) {
    return ClhsGenCpChannel::ReadCommand(gencp::bootstrap::kGenCpVersion, 4, gencp::kFlagAckRequested, requestId);
}

uint32_t AddressOf(const SimBoard &board, const char *name) {
    return uint32_t(FindAppletRegister(board.Applet(), name));
}

class ClhsChannel : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(board.LinkUp(0)); }

    ClhsUnderTest board{kOneLinkCamera};
    ClhsController &controller = *board.controller;
    clhs::ClhsMessageChannel &channel = controller.Channel();
};

TEST_F(ClhsChannel, CommandsAndAnswersWordForWord) {
    const std::vector<uint32_t> command = ReadVersion(1);
    EXPECT_EQ(command, (std::vector<uint32_t>{0x00005040, 0x00010000, 0x40000800, 0x000C0001, 0, 0, 4}));
    ASSERT_EQ(channel.Send(0, command, 100), ERR_NONE);
    std::vector<uint32_t> answer;
    ASSERT_EQ(channel.Receive(0, answer, 100), ERR_NONE);
    EXPECT_EQ(answer, std::vector<uint32_t>(std::begin(kVersionAck), std::end(kVersionAck)));

    // A write of 3 bytes: the length counts them, the last word is zero-padded. (ClhsRoad writes and reads memory.)
    const uint8_t text[] = {'n', 'o', 'x'};
    EXPECT_EQ(ClhsGenCpChannel::WriteCommand(0x184, text, ByteSwap::kWireOrder, 0x4000, 9),
              (std::vector<uint32_t>{0x00005040, 0x00010000, 0x40000802, 0x000B0009, 0, 0x184, 0x00786F6E}));

    // A register value swapped travels most significant byte first.
    ASSERT_EQ(controller.WriteRegister(0, wire::camera::kDeviceId, 0x01020304, ByteSwap::kSwapWords,
                                       AcknowledgeMode::kRequired, 0),
              ERR_NONE);
    uint8_t bytes[4] = {};
    ASSERT_EQ(controller.ReadRaw(0, wire::camera::kDeviceId, bytes, 4, ByteSwap::kWireOrder, 0), ERR_NONE);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 4), (std::vector<uint8_t>{1, 2, 3, 4}));

    // Blocks longer than one command go in pieces: the description strings.
    std::vector<char> strings(6 * 64 + 1, 0);
    ASSERT_EQ(controller.ReadMemory(0, gencp::bootstrap::kDeviceVendorName, strings.data(), 6 * 64, 0), ERR_NONE);
    EXPECT_GT(std::strlen(strings.data()), 0u);

    EXPECT_EQ(channel.Send(2, command, 100), ERR_INVALID_PORT);
    EXPECT_EQ(channel.Receive(2, answer, 100), ERR_INVALID_PORT);
    EXPECT_EQ(channel.Reset(2), ERR_INVALID_PORT);
    uint32_t value = 0;
    EXPECT_EQ(ReadCamera(controller, 2, 0, value), ERR_INVALID_PORT);
}

TEST_F(ClhsChannel, EveryChannelFault) {
    std::vector<uint32_t> answer;
    // Busy longer than the time-out; without a time-out the send waits it out.
    ASSERT_EQ(vexosim_fault(0, 0, "tx_busy:150", 2), 0);
    EXPECT_EQ(channel.Send(0, ReadVersion(1), 30), ERR_CLHS_TX_BUSY_TIMEOUT);
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(channel.Send(0, ReadVersion(2), 0), ERR_NONE);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(100));
    for (uint16_t id : {1, 2}) {
        ASSERT_EQ(channel.Receive(0, answer, 1000), ERR_NONE);
        EXPECT_EQ(answer.at(3) & 0xFFFF, id);
    }

    // A buffer that stays full through the clear command: the channel is reset
    // and the next message goes through.
    ASSERT_EQ(vexosim_fault(0, 0, "tx_full", 1), 0);
    EXPECT_EQ(channel.Send(0, ReadVersion(3), 100), ERR_CLHS_TX_BUFFER_FULL);
    ASSERT_EQ(channel.Send(0, ReadVersion(4), 100), ERR_NONE);
    ASSERT_EQ(channel.Receive(0, answer, 100), ERR_NONE);
    EXPECT_EQ(answer.at(3) & 0xFFFF, 4u);

    // Failed sends and receives come back as FaultMatrix's rows show.
    EXPECT_EQ(channel.Receive(0, answer, 20), ERR_CLHS_NO_COMMAND_WORD);

    // A pending acknowledge and then the answer queue up: read as two messages.
    ASSERT_EQ(vexosim_fault(0, 0, "pending_ack:30", 1), 0);
    ASSERT_EQ(channel.Send(0, ReadVersion(7), 100), ERR_NONE);
    ASSERT_EQ(channel.Receive(0, answer, 100), ERR_NONE);
    ASSERT_EQ(answer.size(), 5u);
    EXPECT_EQ(answer[2], uint32_t(gencp::CommandId::kPendingAck));
    EXPECT_EQ(answer[4] & 0xFFFF, 30u);
    ASSERT_EQ(channel.Receive(0, answer, 200), ERR_NONE);
    EXPECT_EQ(answer.at(2), uint32_t(gencp::CommandId::kReadMemAck));
    EXPECT_EQ(answer.at(3), 0x00040007u);
}

TEST(ClhsGenCp, ResendsPendingAcknowledgesAndStatuses) {
    cxp_test::RecordingHardware recording;
    ClhsUnderTest board(kOneLinkCamera);
    ASSERT_TRUE(board.LinkUp(0));
    ClhsController &controller = *board.controller;
    const uint32_t data = AddressOf(board.board, "ClhsTxCmdData_0");
    uint32_t value = 0;

    // A lost answer: the command goes again with the same request id, flagged.
    ASSERT_EQ(vexosim_fault(0, 0, "no_ack", 1), 0);
    recording.Reset();
    ASSERT_EQ(controller.ReadRaw(0, 0, &value, 4, ByteSwap::kSwapWords, 30), ERR_NONE);
    EXPECT_EQ(value, gencp::kVersion1_0);
    const std::vector<uint64_t> words = recording.WritesTo(data);
    ASSERT_EQ(words.size(), 14u);
    EXPECT_EQ(words[2] >> 16, 0x4000u);
    EXPECT_EQ(words[7 + 2] >> 16, 0xC000u);
    EXPECT_EQ(words[3], words[7 + 3]);

    ASSERT_EQ(vexosim_fault(0, 0, "no_ack", 3), 0);
    EXPECT_EQ(controller.ReadRaw(0, 0, &value, 4, ByteSwap::kSwapWords, 30), ERR_GENCP_TIMEOUT);

    // The camera's own status comes back as it is, positive.
    ASSERT_EQ(vexosim_fault(0, 0, "status:8006", 1), 0);
    EXPECT_EQ(controller.ReadRaw(0, 0, &value, 4, ByteSwap::kSwapWords, 30), 0x8006);

    // A pending acknowledge extending the wait: FaultMatrix's pending_ack row.
}

TEST(ClhsMdio, CommandWordsBusesAndRetries) {
    EXPECT_EQ(ClhsMdio::CommandWord(wire::kMdioOperationRead, 1, 1, 5, 0), 0x00000C2100050000ull);
    EXPECT_EQ(ClhsMdio::CommandWord(wire::kMdioOperationWrite, 0, 1, 5, 0xBEEF), 0x000004010005BEEFull);
    cxp_test::RecordingHardware recording;
    ClhsUnderTest board(kOneLinkCamera);
    ClhsMdio &mdio = board.controller->Mdio();
    const uint32_t bus0 = AddressOf(board.board, "MdioWrite_0");
    const uint32_t bus1 = AddressOf(board.board, "MdioWrite_1");

    recording.Reset();
    EXPECT_FALSE(ClhsMdio::Failed(mdio.Access(wire::kMdioOperationWrite, 0, 1, 5, 0xBEEF)));
    EXPECT_FALSE(ClhsMdio::Failed(mdio.Access(wire::kMdioOperationWrite, 15, 1, 5, 0x1234)));
    EXPECT_EQ(recording.WritesTo(bus0), std::vector<uint64_t>{0x000004010005BEEFull});
    EXPECT_EQ(recording.WritesTo(bus1), std::vector<uint64_t>{ClhsMdio::CommandWord(1, 15, 1, 5, 0x1234)});
    EXPECT_EQ(mdio.Access(wire::kMdioOperationRead, 0, 1, 5, 0) & 0xFFFF, 0xBEEFu);
    EXPECT_EQ(mdio.Access(wire::kMdioOperationRead, 15, 1, 5, 0) & 0xFFFF, 0x1234u);

    // Errors are retried; ten of them end the access with the last status.
    ASSERT_EQ(vexosim_fault(0, 0, "mdio_error:3", 1), 0);
    recording.Reset();
    EXPECT_FALSE(ClhsMdio::Failed(mdio.Access(wire::kMdioOperationWrite, 0, 1, 6, 7)));
    EXPECT_EQ(recording.WritesTo(bus0).size(), 4u);
    ASSERT_EQ(vexosim_fault(0, 0, "mdio_error:12", 1), 0);
    recording.Reset();
    const uint64_t status = mdio.Access(wire::kMdioOperationWrite, 0, 1, 6, 8);
    EXPECT_TRUE(status & (1u << 18));
    EXPECT_EQ(recording.WritesTo(bus0).size(), ClhsMdio::kMaxAttempts);
    ASSERT_EQ(vexosim_fault(0, 0, "mdio_error:1", 0), 0);

    // The same through the board properties: write 4, read 3 (physical
    // address << 24 | device << 16 | register).
    const uint32_t index = 15u << 24 | 3u << 16 | 9;
    // (ClhsRoad writes and reads them; here each refused direction.)
    uint32_t read = 0;
    EXPECT_EQ(board.controller->SetBoardProperty(3, index, 1), ERR_ACCESS_DENIED);
    EXPECT_EQ(board.controller->GetBoardProperty(4, &read, 1, index), ERR_ACCESS_DENIED);
    ASSERT_EQ(vexosim_fault(0, 1, "mdio_error:10", 1), 0);
    EXPECT_EQ(board.controller->SetBoardProperty(4, index, 0x56), ERR_INTERNAL);
}

}  // namespace
}  // namespace clhs_test
