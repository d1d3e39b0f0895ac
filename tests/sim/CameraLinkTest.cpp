// Camera Link boards: applets, camera presence, serial ports and the GenCP
// camera as the hardware library's serial entry points reach them.
#include <gtest/gtest.h>

#include <set>

#include "SerialLink.h"

using namespace simtest;
using SimCameraLink = SimTest;

namespace {

constexpr const char *kInstantBoard = R"({"boards": [{"model": "cl2-g1", "timing": false, "cameras": [{}]}]})";
constexpr uint64_t kDescriptionAddress = 0x100000;
constexpr uint64_t kCurrentBaudMask = 0x1004;

Bytes Text(const std::string &text, size_t size) {
    Bytes bytes(text.begin(), text.end());
    bytes.resize(size);
    return bytes;
}

// Reads `count` bytes in pieces of at most 496, as one GenCP read may carry.
Bytes ReadMemory(const SerialLink &link, uint64_t address, size_t count) {
    Bytes data;
    for (uint16_t id = 100; data.size() < count; ++id) {
        const auto piece = uint16_t(std::min<size_t>(496, count - data.size()));
        const std::optional<Reply> reply = link.Exchange(ReadCommand(address + data.size(), piece, id));
        if (!reply || reply->Status() != 0) return data;
        const Bytes scd = reply->Scd();
        data.insert(data.end(), scd.begin(), scd.end());
    }
    return data;
}

uint64_t ReadNumber(const SerialLink &link, uint64_t address, size_t bytes) {
    uint64_t value = 0;
    for (uint8_t byte : ReadMemory(link, address, bytes)) value = value << 8 | byte;
    return value;
}

}  // namespace

TEST_F(SimCameraLink, DocumentedReadGetsItsExactAcknowledgeAndRefusalsCarryTheirStatus) {
    LoadTopology(kInstantBoard);
    SerialLink link(0, 9600);
    const Bytes literal{0x01, 0x00, 0xB7, 0xF2, 0xA7, 0xEE, 0x00, 0x00, 0x40, 0x00, 0x08, 0x00, 0x00, 0x0C,
                        0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x04};
    EXPECT_EQ(ReadCommand(0x1000, 4, 1), literal);
    // 0x1000 holds the supported baud mask: 9600 to 115200.
    EXPECT_EQ(link.Exchange(literal).value().bytes, GenCpPacket(0, 0x0801, 1, {0, 0, 0, 0x1F}));

    const auto refusal = [&](const Bytes &command) {
        const std::optional<Reply> reply = link.Exchange(command);
        EXPECT_TRUE(reply && reply->ChecksumsHold());
        return reply.value_or(Reply{Bytes(16)});
    };
    EXPECT_EQ(refusal(ReadCommand(0x3000, 4, 2)).bytes, GenCpPacket(0x8003, 0x0801, 2, {}));
    EXPECT_EQ(refusal(WriteCommand(0x0000, {0, 0, 0, 1}, 3)).bytes, GenCpPacket(0x8004, 0x0803, 3, {0, 0, 0, 0}));
    EXPECT_EQ(refusal(ReadCommand(0x6080, 4, 4)).Status(), 0x8006);  // a write-only feature register
    EXPECT_EQ(refusal(GenCpPacket(0x4000, 0x0900, 5, {})).bytes, GenCpPacket(0x8001, 0x0901, 5, {}));
    EXPECT_EQ(refusal(ReadCommand(kDescriptionAddress, 497, 6)).bytes, GenCpPacket(0x8002, 0x0801, 6, {}));
    EXPECT_EQ(refusal(WriteCommand(kCurrentBaudMask, {0, 0, 0, 0x20}, 7)).Status(), 0x8002);  // 230400: unsupported
    EXPECT_EQ(refusal(WriteCommand(kCurrentBaudMask, {0, 0, 0, 0x03}, 8)).Status(), 0x8002);  // two rates
    const Reply longest = link.Exchange(ReadCommand(kDescriptionAddress, 496, 9)).value();
    EXPECT_EQ(longest.Status(), 0);
    EXPECT_EQ(longest.Scd().size(), 496u);
}

TEST_F(SimCameraLink, BadChecksumsAreDroppedAndAResendIsNotExecutedTwice) {
    LoadTopology(kInstantBoard);
    SerialLink link(0, 9600);
    const vexosim_port_stats before = Stats(0, 0);
    Bytes corrupt = ReadCommand(0x0000, 4, 1);
    corrupt[4] ^= 0x01;  // SCD_CRC
    link.Send(corrupt);
    EXPECT_EQ(link.Waiting(), 0);

    const Reply first = link.Exchange(WriteCommand(0x0184, Text("first", 8), 9)).value();
    EXPECT_EQ(first.bytes, GenCpPacket(0, 0x0803, 9, {0, 0, 0, 8}));
    EXPECT_EQ(link.Exchange(WriteCommand(0x0184, Text("second", 8), 9, 0xC000)).value().bytes, first.bytes);
    EXPECT_EQ(ReadMemory(link, 0x0184, 8), Text("first", 8));
    const vexosim_port_stats after = Stats(0, 0);
    EXPECT_EQ(after.crcErrors - before.crcErrors, 1u);
    EXPECT_EQ(after.commandsReceived - before.commandsReceived, 3u);
    EXPECT_EQ(after.bytesWritten - before.bytesWritten, 8u) << "the resend wrote nothing";
}

TEST_F(SimCameraLink, TheCameraHearsOnlyItsRateAndSwitchesAfterItsAcknowledge) {
    LoadTopology(kInstantBoard);
    SerialLink link(0, 19200);
    const vexosim_port_stats before = Stats(0, 0);
    link.Send(ReadCommand(0x0000, 4, 1));
    EXPECT_EQ(link.Waiting(), 0);
    EXPECT_EQ(Stats(0, 0).framingErrors - before.framingErrors, 28u);

    EXPECT_EQ(SetSerialBaudRate(link.Device(), 0, 12345), -1);
    ASSERT_EQ(SetSerialBaudRate(link.Device(), 0, 9600), 0);
    EXPECT_EQ(link.Exchange(WriteCommand(kCurrentBaudMask, {0, 0, 0, 0x10}, 2)).value().Status(), 0) << "at the old rate";
    EXPECT_FALSE(link.Exchange(ReadCommand(kCurrentBaudMask, 4, 3))) << "the camera listens at 115200 now";
    ASSERT_EQ(SetSerialBaudRate(link.Device(), 0, 115200), 0);
    EXPECT_EQ(ReadNumber(link, kCurrentBaudMask, 4), 0x10u);
}

TEST_F(SimCameraLink, CharactersTakeTheirLineTimeUnlessLineTimingIsOff) {
    LoadTopology(R"({"boards": [{"model": "cl2-g1", "cameras": [{}]}]})");
    {
        SerialLink link(0, 9600);
        const auto start = std::chrono::steady_clock::now();
        link.Send(ReadCommand(0x01D8, 8, 1));
        const Bytes ack = link.Receive(24, Ms(500));
        const auto elapsed = std::chrono::steady_clock::now() - start;
        ASSERT_EQ(ack.size(), 24u);
        EXPECT_GE(elapsed, Ms(54)) << "52 characters of 10 bits at 9600 baud";
        EXPECT_EQ(Bytes(ack.begin() + 16, ack.end()), BigEndian(0x1000, 8));
    }
    LoadTopology(R"({"boards": [{"model": "cl2-g1", "timing": {"line": false}, "cameras": [{}]}]})");
    SerialLink link(0, 9600);
    link.Send(ReadCommand(0x01D8, 8, 1));
    EXPECT_EQ(link.Waiting(), 24);
}

TEST_F(SimCameraLink, SerialPortsAreHeldAndGiveFreshQueues) {
    LoadTopology(kInstantBoard);
    Session board;
    const uint64_t device = board.Device();
    uint32_t receive = 0, transmit = 0, receive2 = 0, transmit2 = 0;
    EXPECT_EQ(OpenSerialPort(device, 2, 9600, &receive, &transmit), -61);
    EXPECT_EQ(OpenSerialPort(device, 0, 12345, &receive, &transmit), -1);
    ASSERT_EQ(vexosim_serial_claim(0, 0, 1), 0);
    EXPECT_EQ(OpenSerialPort(device, 0, 9600, &receive, &transmit), -28);
    ASSERT_EQ(vexosim_serial_claim(0, 0, 0), 0);
    EXPECT_EQ(vexosim_serial_claim(0, 2, 1), -1);
    ASSERT_EQ(OpenSerialPort(device, 0, 9600, &receive, &transmit), 0);
    ASSERT_EQ(OpenSerialPort(device, 0, 9600, &receive2, &transmit2), 0);
    EXPECT_EQ((std::set<uint32_t>{receive, transmit, receive2, transmit2}.size()), 4u);
    const uint8_t byte = 0;
    EXPECT_EQ(CountQueueWords(device, receive), -1) << "the old ids are gone";
    EXPECT_EQ(WriteQueueBytes(device, transmit, &byte, 1, 0), -1);
    EXPECT_EQ(CountQueueWords(device, receive2), 0);
    ReleaseQueue(device, receive2);
    EXPECT_EQ(CountQueueWords(device, receive2), -1);
}

// Each applet's mode registers are found through the controller by ClController's cases.
TEST_F(SimCameraLink, AppletsAndCameraStatusTellThePortConfiguration) {
    LoadTopology(R"({"boards": [
        {"model": "cl2-g1", "cameras": [{"links": [0]}, {"links": [1]}]},
        {"model": "cl2-g2", "cameras": [{"links": [0, 1]}]},
        {"model": "cl2-g1", "cameras": [{"links": [0, 1]}]},
        {"model": "cl2-g2", "applet": {"port_config": "none"}}]})");
    const auto status = [](const Session &board) {
        return std::vector<uint32_t>{QueryCameraStatus(board.Device(), 0), QueryCameraStatus(board.Device(), 1),
                                     QueryCameraStatus(board.Device(), 2)};
    };
    Session base(0), medium(1), mediumFirstGroup(2), none(3);
    EXPECT_EQ(status(base), (std::vector<uint32_t>{1, 1, 0}));
    EXPECT_EQ(status(medium), (std::vector<uint32_t>{1, 1, 1}));
    EXPECT_EQ(status(none), (std::vector<uint32_t>{0, 0, 0}));
    ASSERT_EQ(vexosim_plug(0, 1, 0), 0);
    EXPECT_EQ(status(base), (std::vector<uint32_t>{1, 0, 0}));

    EXPECT_EQ(mediumFirstGroup.Read("AACamPortConfig"), 1u);
    EXPECT_EQ(FindAppletRegister(medium.Applet(), "AACamPortConfig"), 0);
    EXPECT_EQ(FindAppletRegister(none.Applet(), "Device1\\Process0\\Camera\\BaseMode"), 0);
}

