// Faults of vexosim_fault: each shapes the answers to exactly `count` commands.
#include <gtest/gtest.h>

#include "SimHarness.h"

using namespace simtest;
using SimFault = SimTest;
using std::chrono::milliseconds;

namespace {

constexpr uint32_t kMagicWord = 0xE59AA7C0;  // 0xC0A79AE5 as it travels
constexpr milliseconds kBound(5000);

std::vector<uint32_t> WithCrc(std::vector<uint32_t> words) {
    words.push_back(Crc(words));
    return words;
}

const std::vector<uint32_t> &NormalAnswer() {
    static const std::vector<uint32_t> words = WithCrc({kAckSuccess, 0x04000000, kMagicWord});
    return words;
}

// What one faulted read of the standard register brings.
void ExpectFaultedAnswer(const Session &board, const std::string &fault) {
    const auto sent = std::chrono::steady_clock::now();
    board.Send(0, ReadPacket(bootstrap::kStandard, 4));
    const std::optional<Ack> first = board.TakeAck(0);
    const auto late = [&](const std::optional<Ack> &ack, milliseconds after) {
        ASSERT_TRUE(ack) << "the answer never came";
        EXPECT_EQ(ack->words, NormalAnswer());
        EXPECT_GE(std::chrono::steady_clock::now() - sent, after);
    };
    // Only these two leave the first answer out.
    if (fault == "no_ack" || fault == "delay_ack:100") {
        EXPECT_FALSE(first);
    } else {
        ASSERT_TRUE(first);
    }
    if (fault == "wait_ack:100") {
        EXPECT_EQ(first->words, WithCrc({AckWord(AckCode::kWait), 0x04000000, 0x64000000}))
            << "wait 100 ms, most significant byte first";
        late(board.WaitAck(0, kBound), milliseconds(100));
    } else if (fault == "tentative_ack") {
        EXPECT_EQ(first->words, WithCrc({AckWord(AckCode::kTentative)}));
        EXPECT_EQ(board.TakeAck(0).value().words, NormalAnswer());
    } else if (fault == "malformed_ack") {
        EXPECT_EQ(first->words, WithCrc({0x00FF00FF}));
    } else if (fault == "bad_crc_ack") {
        EXPECT_EQ(first->words.size(), 4u);
        EXPECT_EQ(std::vector<uint32_t>(first->words.begin(), first->words.end() - 1),
                  std::vector<uint32_t>(NormalAnswer().begin(), NormalAnswer().end() - 1));
        EXPECT_FALSE(first->CrcValid());
    } else if (fault == "ack_code:42") {
        EXPECT_EQ(first->words, WithCrc({AckWord(AckCode::kInvalidOpcode)}));
    } else if (fault == "delay_ack:100") {
        late(board.WaitAck(0, kBound), milliseconds(100));
    }
}

}  // namespace

TEST_F(SimFault, EachKindShapesExactlyCountAnswers) {
    for (const std::string fault : {"no_ack", "wait_ack:100", "tentative_ack", "malformed_ack", "bad_crc_ack",
                                    "ack_code:42", "delay_ack:100"}) {
        SCOPED_TRACE(fault);
        Session board;
        const vexosim_port_stats before = Stats(0, 0);
        ASSERT_EQ(vexosim_fault(0, 0, fault.c_str(), 2), 0);
        ExpectFaultedAnswer(board, fault);
        ExpectFaultedAnswer(board, fault);
        EXPECT_EQ(board.Exchange(0, ReadPacket(bootstrap::kStandard, 4)).value().words, NormalAnswer())
            << "the third is answered normally";
        EXPECT_EQ(Stats(0, 0).commandsReceived - before.commandsReceived, 3u);
        EXPECT_EQ(board.ReadCamera(1, bootstrap::kStandard), kStandardMagic) << "other ports are not affected";
    }
}

TEST_F(SimFault, ForcedCodesDecideWhetherTheCommandRuns) {
    Session board;
    const uint32_t userId = bootstrap::kDeviceUserId.address;
    ASSERT_EQ(vexosim_fault(0, 0, "ack_code:0x41", 1), 0);
    EXPECT_EQ(board.Exchange(0, WritePacket(userId, TextWords("refused", 16))).value().Code(),
              AckWord(AckCode::kInvalidData));
    EXPECT_EQ(board.ReadCameraBytes(0, userId, 4), std::vector<uint8_t>(4, 0)) << "a refused write is not executed";

    ASSERT_EQ(vexosim_fault(0, 0, "ack_code:01", 1), 0);
    EXPECT_EQ(board.Exchange(0, WritePacket(userId, TextWords("done", 16))).value().Code(), 0x01010101u);
    EXPECT_EQ(board.ReadCameraBytes(0, userId, 4), (std::vector<uint8_t>{'d', 'o', 'n', 'e'}));

    ASSERT_EQ(vexosim_fault(0, 0, "no_ack", 1), 0);
    EXPECT_FALSE(board.Exchange(0, WritePacket(bootstrap::kMasterHostConnectionId, 0x55)));
    EXPECT_EQ(board.ReadCamera(0, bootstrap::kMasterHostConnectionId), 0x55u) << "the answer is lost, not the command";

    ASSERT_EQ(vexosim_fault(0, 0, "no_ack", 5), 0);
    ASSERT_EQ(vexosim_fault(0, 0, "no_ack", 0), 0);
    EXPECT_TRUE(board.ReadCamera(0, bootstrap::kStandard)) << "count 0 clears the fault";

    for (const char *bad : {"", "no_ack:3", "wait_ack:x", "delay_ack:60001", "lost"})
        EXPECT_EQ(vexosim_fault(0, 0, bad, 1), -1) << bad;
    EXPECT_EQ(vexosim_fault(0, 4, "no_ack", 1), -1);
    EXPECT_EQ(vexosim_fault(7, 0, "no_ack", 1), -1);
}

TEST_F(SimFault, ALateAnswerHoldsBackTheAnswersBehindIt) {
    Session board;
    ASSERT_EQ(vexosim_fault(0, 0, "delay_ack:100", 1), 0);
    board.Send(0, ReadPacket(bootstrap::kStandard, 4));
    board.Send(0, ReadPacket(bootstrap::kDeviceConnectionId, 4));
    EXPECT_FALSE(board.TakeAck(0));
    EXPECT_EQ(board.WaitAck(0, kBound).value().words, NormalAnswer());
    EXPECT_EQ(board.WaitAck(0, kBound).value().ReadData(), std::vector<uint32_t>{0});
}
