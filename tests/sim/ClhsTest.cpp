// Camera Link HS boards and cameras: GenCP over the X-Core message channel
// word by word, the physical layer, MDIO, camera links and hotplug, cameras
// on two boards, faults and topology errors. The GenCP core (refusals,
// resends, strings, manifest) is the Camera Link camera's: SimCameraLink shows
// it; the worked example's words and the description through the manifest
// are driven through the controller by ClhsChannel and ClhsRoad.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "SimHarness.h"
#include "protocol/ClhsRegisters.h"

using namespace simtest;
using SimClhs = SimTest;
namespace clhs = vexo::protocol::clhs;

namespace {

using Clock = std::chrono::steady_clock;

// A 2-link camera on ports 0 and 1 that can also run one link at 5000 Mbit/s.
const char *kTwoLinkBoard = R"({"boards": [{"model": "clhs2-c",
    "cameras": [{"links": [0, 1], "configurations": [[2, 10000], [1, 5000]], "reconnect_time": 40}]}]})";

std::string ExampleTopology(const std::string &name) {
    std::ostringstream text;
    text << std::ifstream(std::string(SIM_TOPOLOGIES) + "/" + name).rdbuf();
    return text.str();
}

constexpr uint32_t kFirstWords[] = {clhs::kMessageWord0, clhs::kMessageWord1};

std::vector<uint32_t> ReadCommand(uint32_t address, uint32_t bytes, uint16_t requestId) {
    return {kFirstWords[0], kFirstWords[1], 0x40000800, 12u << 16 | requestId, 0, address, bytes};
}

// A register value, most significant byte first in memory.
std::vector<uint32_t> WriteCommand(uint32_t address, uint32_t value, uint16_t requestId, uint16_t flags = 0x4000) {
    return {kFirstWords[0], kFirstWords[1], uint32_t(flags) << 16 | 0x0802, 12u << 16 | requestId, 0, address, ByteSwap(value)};
}

// Fills the transmit buffer word by word.
void Fill(const Session &board, uint32_t port, std::span<const uint32_t> words) {
    for (uint32_t word : words) board.Write("ClhsTxCmdData_", port, word);
}

void Send(const Session &board, uint32_t port, std::span<const uint32_t> words) {
    Fill(board, port, words);
    board.Write("ClhsTxCmdCommand_", port, clhs::kTxCommandSend);
}

struct Message {
    uint64_t status = 0;  // the status that first showed it
    std::vector<uint32_t> words;
};

// The next received message, read word by word and retired; nothing when
// none arrives within the bound.
std::optional<Message> NextMessage(const Session &board, uint32_t port, std::chrono::milliseconds bound = kAnswerBound) {
    Message message;
    if (!Within(bound, [&] { return (message.status = board.Read("ClhsRxCmdStatus_", port)) & clhs::kRxStatusMessage; }))
        return std::nullopt;
    for (uint64_t status = message.status; status & clhs::kRxStatusWordsLeft; status = board.Read("ClhsRxCmdStatus_", port)) {
        const uint64_t word = board.Read("ClhsRxCmdData_", port);
        EXPECT_TRUE(word & clhs::kRxDataValid);
        message.words.push_back(uint32_t(word));
    }
    return message;
}

std::optional<Message> Exchange(const Session &board, uint32_t port, std::span<const uint32_t> command) {
    Send(board, port, command);
    return NextMessage(board, port);
}

// The register a read acknowledge carries, or nothing for any other answer.
std::optional<uint32_t> RegisterOf(const std::optional<Message> &ack) {
    if (!ack || ack->words.size() != 5 || ack->words[2] != 0x0801) return std::nullopt;
    return ByteSwap(ack->words[4]);
}

std::optional<uint32_t> ReadRegister(const Session &board, uint32_t port, uint32_t address) {
    return RegisterOf(Exchange(board, port, ReadCommand(address, 4, 7)));
}

// The status of the acknowledge a command gets on port 0; 0xFFFFFFFF for none.
uint32_t StatusOf(const Session &board, std::span<const uint32_t> command) {
    const std::optional<Message> ack = Exchange(board, 0, command);
    return ack && ack->words.size() >= 4 ? ack->words[2] >> 16 : 0xFFFFFFFFu;
}

bool CarriesMessages(const Session &board, uint32_t port) {
    return board.Read("ClhsLinkRxStatus_", port) == 3;
}

uint64_t TxStatus(const Session &board, uint32_t port) { return board.Read("ClhsTxCmdStatus_", port); }

}  // namespace

// Busy, full and failing sends under their faults, and the pending and failed
// answers, are driven through the controller by ClhsChannel.EveryChannelFault.
TEST_F(SimClhs, TheTransmitSideWordByWord) {
    LoadTopology(kTwoLinkBoard);
    Session board;
    ASSERT_TRUE(Within(kAnswerBound, [&] { return CarriesMessages(board, 0); }));
    EXPECT_EQ(TxStatus(board, 0), 0u);

    // Buffer not empty until the send takes the words.
    const std::vector<uint32_t> write = WriteCommand(clhs::camera::kDeviceId, 0x0102, 2);
    Fill(board, 0, write);
    EXPECT_EQ(TxStatus(board, 0), clhs::kTxStatusNotEmpty);
    board.Write("ClhsTxCmdCommand_", 0, clhs::kTxCommandSend);
    EXPECT_EQ(NextMessage(board, 0).value().words, (std::vector<uint32_t>{0x00005040, 0x00010000, 0x00000803, 0x00040002, 4}));
    EXPECT_EQ(TxStatus(board, 0), 0u);
    EXPECT_EQ(ReadRegister(board, 0, clhs::camera::kDeviceId), 0x0102u);
    Fill(board, 0, write);
    board.Write("ClhsTxCmdCommand_", 0, clhs::kTxCommandClear);
    EXPECT_EQ(TxStatus(board, 0), 0u);

    // A link that carries no messages fails the send, bit 1, until the next send.
    board.Write("ClhsTxRevision_", 0, 0);
    Send(board, 0, ReadCommand(0, 4, 5));
    EXPECT_EQ(TxStatus(board, 0), clhs::kTxStatusSendFailed);
    board.Write("ClhsTxRevision_", 0, 1);
    EXPECT_EQ(RegisterOf(Exchange(board, 0, ReadCommand(0, 4, 4))), 0x00010000u);
    EXPECT_EQ(TxStatus(board, 0) & clhs::kTxStatusSendFailed, 0u);

    // More words than the buffer holds: the message fails rather than leave cut short.
    for (uint32_t i = 0; i < 257; ++i) board.Write("ClhsTxCmdData_", 0, 0);
    board.Write("ClhsTxCmdCommand_", 0, clhs::kTxCommandSend);
    EXPECT_EQ(TxStatus(board, 0), clhs::kTxStatusSendFailed);

    // The X-Core reset clears buffer, queue and status bits.
    Send(board, 0, ReadCommand(0, 4, 6));
    ASSERT_TRUE(Within(kAnswerBound, [&] { return board.Read("ClhsRxCmdStatus_", 0) != 0; }));
    Fill(board, 0, write);
    board.Write("ClhsControlCoreReset_", 0, clhs::kControlCoreResetValue);
    board.Write("ClhsControlCoreReset_", 0, 0);
    EXPECT_EQ(TxStatus(board, 0), 0u);
    EXPECT_EQ(board.Read("ClhsRxCmdStatus_", 0), 0u);
    EXPECT_EQ(RegisterOf(Exchange(board, 0, ReadCommand(0, 4, 8))), 0x00010000u) << "and the channel works on";
}

TEST_F(SimClhs, ReceivedMessagesQueueAndRetireOneByOne) {
    LoadTopology(kTwoLinkBoard);
    Session board;
    ASSERT_TRUE(Within(kAnswerBound, [&] { return CarriesMessages(board, 0); }));

    // Two answers queued before any is read come out as two.
    Send(board, 0, ReadCommand(clhs::camera::kNumberOfLinks, 4, 10));
    Send(board, 0, ReadCommand(clhs::camera::kNumberOfConfigurations, 4, 11));
    EXPECT_EQ(RegisterOf(NextMessage(board, 0)), 2u);
    EXPECT_EQ(RegisterOf(NextMessage(board, 0)), 2u);

    // Seventeen answers: the queue keeps sixteen, the last is lost and counted.
    for (uint16_t id = 0; id < 17; ++id) Send(board, 0, ReadCommand(0, 4, id));
    ASSERT_TRUE(Within(kAnswerBound, [&] { return board.Read("ClhsLostPackages_0") == 1; }));
    for (int i = 0; i < 16; ++i) EXPECT_EQ(RegisterOf(NextMessage(board, 0)), 0x00010000u);
    EXPECT_FALSE(NextMessage(board, 0, std::chrono::milliseconds(5)));
}

TEST_F(SimClhs, CameraFaultsAndTechnologyRegisters) {
    LoadTopology(kTwoLinkBoard);
    Session board;
    ASSERT_TRUE(Within(kAnswerBound, [&] { return CarriesMessages(board, 0); }));
    const auto statusOf = [&](std::span<const uint32_t> command) { return StatusOf(board, command); };
    ASSERT_EQ(vexosim_fault(0, 0, "reject_device_id", 1), 0);
    EXPECT_EQ(statusOf(ReadCommand(clhs::camera::kDeviceId, 4, 1)), 0u) << "reads are not faulted";
    EXPECT_EQ(statusOf(WriteCommand(clhs::camera::kDeviceId, 5, 2)), 0x8006u);
    EXPECT_EQ(statusOf(WriteCommand(clhs::camera::kDeviceId, 5, 3)), 0u);
    ASSERT_EQ(vexosim_fault(0, 0, "status:8FFF", 1), 0);
    EXPECT_EQ(statusOf(WriteCommand(clhs::camera::kDeviceId, 9, 4)), 0x8FFFu);
    EXPECT_EQ(ReadRegister(board, 0, clhs::camera::kDeviceId), 5u) << "a refused write is not executed";
    ASSERT_EQ(vexosim_fault(0, 0, "no_ack", 1), 0);
    EXPECT_FALSE(Exchange(board, 0, WriteCommand(clhs::camera::kFecEnable, 1, 5)));
    EXPECT_EQ(ReadRegister(board, 0, clhs::camera::kFecEnable), 1u) << "executed all the same";

    // The technology registers: read-only ones, a configuration the camera lacks; where they begin.
    EXPECT_EQ(statusOf(WriteCommand(clhs::camera::kLinkId, 1, 7)), 0x8004u);
    EXPECT_EQ(statusOf(WriteCommand(clhs::camera::kDeviceConfigurationIndex, 2, 8)), 0x8002u);
    EXPECT_EQ(ReadRegister(board, 0, 0x01DC), clhs::camera::kDeviceId) << "low half of the 8-byte address";

    // A message whose length disagrees with its words reaches no command.
    std::vector<uint32_t> cut = ReadCommand(0, 4, 10);
    cut.pop_back();
    Send(board, 0, cut);
    EXPECT_FALSE(NextMessage(board, 0, std::chrono::milliseconds(5)));
    EXPECT_EQ(Stats(0, 0).framingErrors, 1u);
}

TEST_F(SimClhs, PhysicalLayerRevisionMessagesAndLock) {
    LoadTopology(R"({"boards": [{"model": "clhs2-c", "timing": {"lock_us": 20000}, "cameras": [{"links": [0]}]}]})");
    Session board;
    EXPECT_EQ(board.Read("ClhsTransceiverLocked"), 1u) << "port 0 has the camera, port 1 nothing";
    EXPECT_EQ(board.Read("ClhsTransceiverRxResetDone"), 3u);
    EXPECT_EQ(board.Read("PcsStatus_0"), 1u);
    EXPECT_EQ(board.Read("ClhsLinkRxStatus_0"), 3u);
    EXPECT_EQ(board.Read("GtxStatus_0"), 1u);

    // The board stops sending its revision messages: the camera's still arrive.
    board.Write("ClhsTxRevision_", 0, 0);
    EXPECT_EQ(board.Read("ClhsLinkRxStatus_0"), 1u);
    board.Write("ClhsTxRevision_", 0, 1);
    // A held coding sublayer: not aligned, no revision messages either way.
    board.Write("PcsSetup_", 0, 1);
    EXPECT_EQ(board.Read("PcsStatus_0"), 0u);
    EXPECT_EQ(board.Read("ClhsLinkRxStatus_0"), 0u);
    board.Write("PcsSetup_", 0, 0);

    // Transceiver reset: done bits a millisecond after the release, lock and
    // revision messages only after the lock time.
    board.Write("ClhsTransceiverReset", 1);
    EXPECT_EQ(board.Read("ClhsTransceiverRxResetDone") & 1, 0u);
    EXPECT_EQ(board.Read("ClhsTransceiverLocked"), 0u);
    const uint64_t errors = board.Read("ClhsTransceiverNotInTable_0");
    EXPECT_GT(board.Read("ClhsTransceiverNotInTable_0"), errors) << "an unlocked port counts errors";
    const Clock::time_point released = Clock::now();
    board.Write("ClhsTransceiverReset", 0);
    EXPECT_EQ(board.Read("ClhsLinkRxStatus_0"), 0u);
    ASSERT_TRUE(Within(std::chrono::seconds(2), [&] { return board.Read("ClhsTransceiverTxResetDone") == 3; }));
    EXPECT_GE(Clock::now() - released, std::chrono::milliseconds(1));
    ASSERT_TRUE(Within(std::chrono::seconds(2), [&] { return board.Read("ClhsLinkRxStatus_0") == 3; }));
    EXPECT_GE(Clock::now() - released, std::chrono::milliseconds(20));
    EXPECT_EQ(board.Read("ClhsTransceiverLocked"), 1u);

    // Unplugged: no lock; plugged again: the lock time first.
    ASSERT_EQ(vexosim_plug(0, 0, 0), 0);
    EXPECT_EQ(board.Read("PcsStatus_0"), 0u);
    ASSERT_EQ(vexosim_plug(0, 0, 1), 0);
    EXPECT_EQ(board.Read("PcsStatus_0"), 0u);
    EXPECT_TRUE(Within(std::chrono::seconds(2), [&] { return board.Read("PcsStatus_0") == 1; }));
}

// Each bus's own registers, errors and their retries, and the single bus and
// shared transceiver status are driven through the controller by ClhsMdio and
// ClhsDiscovery.AppletWithSharedRegisters.
TEST_F(SimClhs, MdioBusyAfterACommandAndResetChipsReadZero) {
    LoadTopology(kTwoLinkBoard);
    Session board;
    const auto command = [](uint32_t operation, uint32_t phy, uint32_t device, uint32_t reg, uint32_t data) {
        return uint64_t((operation << 5 | phy) << 5 | device) << 32 | uint64_t(reg) << 16 | data;
    };
    const auto done = [&](uint32_t bus) {
        uint64_t status = 0;
        EXPECT_TRUE(Within(std::chrono::seconds(2), [&] { return !((status = board.Read("MdioReadReg_", bus)) & clhs::kMdioBusy); }));
        return status;
    };
    const Clock::time_point start = Clock::now();
    board.Write("MdioWrite_", 1, command(clhs::kMdioOperationWrite, 1, 30, 0x1234, 0xA1));
    EXPECT_TRUE(board.Read("MdioReadReg_", 1) & clhs::kMdioBusy);
    done(1);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(1));
    // The physical layer chips reset: their registers read 0.
    board.Write("NetworkControllerReset", 1);
    board.Write("NetworkControllerReset", 0);
    board.Write("MdioWrite_", 1, command(clhs::kMdioOperationRead, 1, 30, 0x1234, 0));
    EXPECT_EQ(done(1), 0u);
}

TEST_F(SimClhs, RoutingLinkIdsAndTheHotplugRequest) {
    LoadTopology(kTwoLinkBoard);
    Session board;
    EXPECT_EQ(board.Read("DiscoverySelectRead"), 0x7654321076543210ull);
    EXPECT_EQ(board.Read("DiscoveryAppletMasterID"), 0x21u);
    ASSERT_TRUE(Within(kAnswerBound, [&] { return CarriesMessages(board, 0) && CarriesMessages(board, 1); }));
    EXPECT_EQ(ReadRegister(board, 0, clhs::camera::kLinkId), 0u);
    EXPECT_EQ(ReadRegister(board, 1, clhs::camera::kLinkId), 1u);
    // Applet port 0 routed to physical port 1 reaches the extension link, and answers on applet port 0.
    board.Write("DiscoverySelectWrite", 0x7654321076543201ull);
    EXPECT_EQ(ReadRegister(board, 0, clhs::camera::kLinkId), 1u);
    board.Write("DiscoverySelectWrite", 0x7654321076543210ull);

    // One device id per camera, whatever link writes it (ClhsRoad shows it kept across a hotplug).
    ASSERT_TRUE(Exchange(board, 1, WriteCommand(clhs::camera::kDeviceId, 0x0201, 1)));
    EXPECT_EQ(ReadRegister(board, 0, clhs::camera::kDeviceId), 0x0201u);

    // Select the one-link configuration, then ask for the hotplug: both links drop for the reconnect time.
    ASSERT_TRUE(Exchange(board, 0, WriteCommand(clhs::camera::kDeviceConfigurationIndex, 1, 2)));
    const Clock::time_point requested = Clock::now();
    EXPECT_EQ(Exchange(board, 0, WriteCommand(clhs::camera::kHotplugRequest, 1, 3)).value().words.at(2), 0x0803u)
        << "acknowledged before the links drop";
    EXPECT_TRUE(Within(kAnswerBound, [&] { return board.Read("ClhsTransceiverLocked") == 0; }));
    EXPECT_TRUE(Within(std::chrono::seconds(2), [&] { return board.Read("ClhsTransceiverLocked") == 1; }));
    EXPECT_GE(Clock::now() - requested, std::chrono::milliseconds(40));
    std::this_thread::sleep_for(std::chrono::milliseconds(2));  // past the lock time: link 1 still stays down
    EXPECT_EQ(board.Read("ClhsTransceiverLocked"), 1u) << "one link in the configuration";
    ASSERT_TRUE(Within(kAnswerBound, [&] { return CarriesMessages(board, 0); }));
    EXPECT_EQ(ReadRegister(board, 0, clhs::camera::kLinkSpeed), 5000u);
    EXPECT_EQ(ReadRegister(board, 0, clhs::camera::kConfigurations + 12), 5000u);
}

// One device id for the camera from both boards, and connects from both at once: ClhsRoad.CameraAcrossTwoBoards.
TEST_F(SimClhs, ACameraOnTwoBoardsIsSeenFromBoth) {
    LoadTopology(ExampleTopology("clhs-two-board-camera.json"));
    Session first(0), second(1);
    ASSERT_TRUE(Within(kAnswerBound, [&] { return CarriesMessages(first, 0) && CarriesMessages(second, 0); }));
    EXPECT_EQ(ReadRegister(first, 0, clhs::camera::kLinkId), 0u);
    EXPECT_EQ(ReadRegister(second, 0, clhs::camera::kLinkId), 1u);
    EXPECT_EQ(ReadRegister(second, 1, clhs::camera::kLinkId), 0u) << "board 1's own camera";

    // Calls on both boards from two threads meet at the camera: every answer comes back whole.
    std::thread other([&] {
        for (int i = 0; i < 200; ++i) EXPECT_EQ(ReadRegister(second, 0, clhs::camera::kLinkId), 1u);
    });
    for (int i = 0; i < 200; ++i) EXPECT_EQ(ReadRegister(first, 0, clhs::camera::kLinkId), 0u);
    other.join();
}

TEST_F(SimClhs, BadTopologyKeysAreRefusedWithTheirPath) {
    const std::pair<const char *, const char *> cases[] = {
        {R"({"boards": [{"model": "clhs2-c", "applet": {"single_mdio": 1}}]})", "\"boards[0].applet.single_mdio\": expected true or false"},
        {R"({"boards": [{"model": "clhs2-c", "applet": {"omit_registers": ["CxpTxCmdWriteData_"]}}]})", "\"boards[0].applet.omit_registers[0]\": no applet register"},
        {R"({"boards": [{"model": "clhs2-c", "applet": {"stream_packet_size": 4}}]})", "unknown key \"boards[0].applet.stream_packet_size\""},
        {R"({"boards": [{"model": "cxp4-c", "applet": {"single_mdio": true}}]})", "unknown key \"boards[0].applet.single_mdio\""},
        {R"({"boards": [{"model": "clhs2-c", "power_on_at_start": true}]})", "\"boards[0].power_on_at_start\": a clhs2-c board powers no camera"},
        {R"({"boards": [{"model": "clhs2-c", "cameras": [{"links": [0], "power": "external"}]}]})", "unknown key \"boards[0].cameras[0].power\""},
        {R"({"boards": [{"model": "clhs2-c", "cameras": [{"links": [0], "configurations": [[2, 10000]]}]}]})", "\"boards[0].cameras[0].configurations[0][0]\": value 2 outside 1 to 1"},
        {R"({"boards": [{"model": "clhs2-c", "cameras": [{"links": [0], "configurations": [10000]}]}]})", "\"boards[0].cameras[0].configurations[0]\": expected [links, Mbit/s]"},
        {R"({"boards": [{"model": "cxp4-c", "cameras": [{"links": [0], "reconnect_time": 5}]}]})", "unknown key \"boards[0].cameras[0].reconnect_time\""},
        {R"({"clhs_cameras": [{"links": [[0, 0]]}]})", "\"clhs_cameras\": there is no board"},
        {R"({"boards": [{"model": "clhs2-c"}], "clhs_cameras": [{"links": [[1, 0]]}]})", "\"clhs_cameras[0].links[0][0]\": value 1 outside 0 to 0"},
        {R"({"boards": [{"model": "cxp4-c"}], "clhs_cameras": [{"links": [[0, 0]]}]})", "\"clhs_cameras[0].links[0][0]\": board 0 is no Camera Link HS board"},
        {R"({"boards": [{"model": "clhs2-c"}], "clhs_cameras": [{"links": [0]}]})", "\"clhs_cameras[0].links[0]\": expected [board, port]"},
        {R"({"boards": [{"model": "clhs2-c"}], "clhs_cameras": [{}]})", "\"clhs_cameras[0].links\": missing"},
        {R"({"boards": [{"model": "clhs2-c", "cameras": [{"links": [0]}]}], "clhs_cameras": [{"links": [[0, 1], [0, 0]]}]})", "\"clhs_cameras[0].links[1]\": port 0 of board 0 already carries a link"},
    };
    for (const auto &[json, message] : cases) ExpectRejected(json, message);
}
