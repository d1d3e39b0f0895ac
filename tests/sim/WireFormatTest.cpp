// Control packets on the wire: framing, CRC, acknowledgment words and codes.
#include <gtest/gtest.h>

#include "SimHarness.h"

using namespace simtest;
using SimWireFormat = SimTest;

TEST_F(SimWireFormat, DocumentedReadOfConnectionConfigGetsItsExactAcknowledgment) {
    Session board;
    const std::vector<uint32_t> literal{0x02020202, 0x04000000, 0x14400000, 0x85FE1D2E};
    EXPECT_EQ(ReadPacket(bootstrap::kConnectionConfig, 4), literal);

    board.Send(0, literal);
    EXPECT_TRUE(board.PacketSent(0));
    // The 2-link camera at its discovery speed: 2 links at code 0x38, i.e. wire bytes 00 02 00 38.
    EXPECT_EQ(board.TakeAck(0).value().words,
              (std::vector<uint32_t>{0, 0x04000000, 0x38000200, Crc(std::vector<uint32_t>{0, 0x04000000, 0x38000200})}));
    EXPECT_FALSE(board.TakeAck(0)) << "one acknowledgment per command";
    EXPECT_EQ(board.Read("CxpRxCmdAckPacketData_", 0), kReceiveEmpty);

    // The standard register's bytes C0 A7 9A E5 arrive as the data word 0xE59AA7C0.
    EXPECT_EQ(board.Exchange(0, ReadPacket(bootstrap::kStandard, 4)).value().ReadData(), std::vector<uint32_t>{0xE59AA7C0});

    // Opening a packet clears the sent bit until the packet goes out.
    board.Write("CxpTxCmdWriteData_", 0, kPacketStartMarker);
    EXPECT_FALSE(board.PacketSent(0));
    for (uint32_t word : literal) board.Write("CxpTxCmdWriteData_", 0, word);
    board.Write("CxpTxCmdWriteData_", 0, kPacketEndMarker);
    EXPECT_TRUE(board.PacketSent(0));
}

TEST_F(SimWireFormat, CorruptFramesGetNoAnswerAndAreCounted) {
    Session board;
    const vexosim_port_stats before = Stats(0, 0);

    std::vector<uint32_t> badCrc = ReadPacket(bootstrap::kStandard, 4);
    badCrc.back() ^= 1;
    EXPECT_FALSE(board.Exchange(0, badCrc));
    std::vector<uint32_t> badType = ReadPacket(bootstrap::kStandard, 4);
    badType.front() = 0x03030303;
    EXPECT_FALSE(board.Exchange(0, badType));
    EXPECT_FALSE(board.Exchange(0, std::vector<uint32_t>{0x02020202, 0x04000000}));
    // A word with control bits inside a frame breaks it.
    board.Write("CxpTxCmdWriteData_", 0, kPacketStartMarker);
    board.Write("CxpTxCmdWriteData_", 0, 0x1FFFFFFFFull);
    for (uint32_t word : ReadPacket(bootstrap::kStandard, 4)) board.Write("CxpTxCmdWriteData_", 0, word);
    board.Write("CxpTxCmdWriteData_", 0, kPacketEndMarker);
    EXPECT_FALSE(board.TakeAck(0));

    const vexosim_port_stats after = Stats(0, 0);
    EXPECT_EQ(after.crcErrors - before.crcErrors, 1u);
    EXPECT_EQ(after.framingErrors - before.framingErrors, 3u);
    EXPECT_EQ(after.commandsReceived, before.commandsReceived);
    EXPECT_EQ(after.acksSent, before.acksSent);

    // The channel is fine afterwards.
    EXPECT_EQ(board.ReadCamera(0, bootstrap::kStandard), kStandardMagic);
}

// Read back, and reads counted too, at every packet size by CxpBulkTransfers.
TEST_F(SimWireFormat, WritesAreAcknowledgedAndCountedInBytes) {
    Session board;
    const uint64_t before = Stats(0, 0).bytesWritten;
    EXPECT_EQ(board.Exchange(0, WritePacket(bootstrap::kDeviceUserId.address, TextWords("line-7", 16))).value().words,
              (std::vector<uint32_t>{kAckSuccess, Crc(std::vector<uint32_t>{kAckSuccess})}));
    EXPECT_EQ(Stats(0, 0).bytesWritten - before, 16u);
}

TEST_F(SimWireFormat, RefusedCommandsCarryTheirCodes) {
    Session board;
    const auto code = [&](const std::vector<uint32_t> &packet) {
        const std::optional<Ack> ack = board.Exchange(0, packet);
        EXPECT_TRUE(ack && ack->CrcValid());
        return ack ? ack->Code() : ~0u;
    };
    EXPECT_EQ(code(ReadPacket(0x3000, 4)), AckWord(AckCode::kInvalidAddress));
    EXPECT_EQ(code(WritePacket(bootstrap::kStandard, 1)), AckWord(AckCode::kWriteToReadOnly));
    EXPECT_EQ(code(ReadPacket(0x6080, 4)), AckWord(AckCode::kReadFromWriteOnly));  // TestWriteOnly
    EXPECT_EQ(code(ReadPacket(0x100000, 1024)), AckWord(AckCode::kSizeTooLarge));  // more than a 1024-byte packet holds
    EXPECT_EQ(code(WritePacket(bootstrap::kConnectionConfig, ConnectionConfig(3, 3125))),
              AckWord(AckCode::kInvalidData));  // a 2-link camera
    std::vector<uint32_t> badOpcode = ReadPacket(bootstrap::kStandard, 4);
    badOpcode[1] |= 0x07;
    badOpcode.back() = Crc(std::span(badOpcode).subspan(1, 2));
    EXPECT_EQ(code(badOpcode), AckWord(AckCode::kInvalidOpcode));
    // A refused multi-register write changes nothing: the host id lies before the read-only packet size.
    const std::vector<uint32_t> both{ByteSwap(0x77), ByteSwap(2048)};
    EXPECT_EQ(code(WritePacket(bootstrap::kMasterHostConnectionId, both)), AckWord(AckCode::kWriteToReadOnly));
    EXPECT_EQ(board.ReadCamera(0, bootstrap::kMasterHostConnectionId), 0u);
}

TEST_F(SimWireFormat, AcknowledgmentsGoWithoutCrcWhenTheCameraSendsNone) {
    LoadTopology(R"({"boards": [{"model": "cxp2-c", "cameras": [{"links": [0], "ack_crc": false}]}]})");
    Session board;
    EXPECT_EQ(board.Exchange(0, ReadPacket(bootstrap::kStandard, 4)).value().words,
              (std::vector<uint32_t>{kAckSuccess, 0x04000000, 0xE59AA7C0}));
}

TEST_F(SimWireFormat, TaggedCommandsGetTaggedAnswersFromRevisionTwoCamerasOnly) {
    LoadTopology(R"({"boards": [{"model": "cxp2-c", "cameras": [{"links": [0]}, {"links": [1], "revision": "1.1"}]}]})");
    Session board;
    const auto withCrc = [](std::vector<uint32_t> words) {
        words.push_back(Crc(words));
        return words;
    };
    // The documented read of ConnectionConfig with tag 0x5A: the tag word follows the type word, and the
    // CRC covers 5A 5A 5A 5A 00 00 00 04 00 00 40 14.
    const std::vector<uint32_t> literal = {0x05050505, 0x5A5A5A5A, 0x04000000, 0x14400000, 0x9E1EEE8C};
    EXPECT_EQ(Tagged(ReadPacket(bootstrap::kConnectionConfig, 4), 0x5A), literal);
    // The answer starts with the tag, and its CRC covers it: 1 link at 3125, wire bytes 00 01 00 38.
    EXPECT_EQ(board.Exchange(0, literal).value().words, withCrc({0x5A5A5A5A, kAckSuccess, 0x04000000, 0x38000100}));
    EXPECT_EQ(board.Exchange(0, ReadPacket(bootstrap::kConnectionConfig, 4)).value().words,
              withCrc({kAckSuccess, 0x04000000, 0x38000100}))
        << "untagged commands get untagged answers";

    // The tag word takes 4 bytes of the camera's 1024-byte packets: 1000 data bytes fit untagged only.
    EXPECT_EQ(board.Exchange(0, Tagged(ReadPacket(bootstrap::kDeviceStringsBegin, 1000), 1)).value().words.at(1),
              AckWord(AckCode::kSizeTooLarge));
    EXPECT_EQ(board.Exchange(0, Tagged(ReadPacket(bootstrap::kDeviceStringsBegin, 996), 2)).value().words.at(1),
              AckWord(AckCode::kInvalidAddress)) << "past the strings, but not too large";

    ASSERT_EQ(vexosim_fault(0, 0, "wrong_tag", 1), 0);
    EXPECT_EQ(board.Exchange(0, Tagged(ReadPacket(bootstrap::kStandard, 4), 0x10)).value().words.at(0), 0x11111111u);
    EXPECT_EQ(board.Exchange(0, Tagged(ReadPacket(bootstrap::kStandard, 4), 0x12)).value().words.at(0), 0x12121212u);

    const vexosim_port_stats before = Stats(0, 1);
    EXPECT_FALSE(board.Exchange(1, literal)) << "a revision 1.1 camera cannot read a tagged frame";
    EXPECT_EQ(Stats(0, 1).framingErrors - before.framingErrors, 1u);
    EXPECT_EQ(board.ReadCamera(1, bootstrap::kStandard), kStandardMagic);
}
