#pragma once
// Drives the virtual frame grabber through its C entry points only, the way
// the board libraries' callers do: sessions, applet registers by name and
// control packets built and checked here, independently of the simulator.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "grablib5.h"
#include "protocol/CxpBitRates.h"
#include "protocol/CxpBootstrap.h"
#include "protocol/CxpControlPacket.h"
#include "vexosim.h"

extern "C" {
int32_t ReadBoardRegister(uint64_t device, uint32_t address, uint64_t *value);
int32_t WriteBoardRegister(uint64_t device, uint32_t address, uint64_t value);
int64_t QueryBoardInfo(uint64_t device, const char *key);
uint32_t QueryBoardIndex(uint64_t device, uint32_t reserved);
int64_t FindAppletRegister(uint64_t applet, const char *name);
}

namespace simtest {

using vexo::protocol::cxp::AckCode;
using vexo::protocol::cxp::CommandCode;
using vexo::protocol::cxp::kAckEndWord;
using vexo::protocol::cxp::kPacketEndMarker;
using vexo::protocol::cxp::kCommandTypeWord;
using vexo::protocol::cxp::kPacketStartMarker;
using vexo::protocol::cxp::kReceiveEmpty;
using vexo::protocol::cxp::kStandardMagic;
using vexo::protocol::cxp::kTaggedCommandTypeWord;
using vexo::protocol::cxp::RateCode;
namespace bootstrap = vexo::protocol::cxp::bootstrap;

// Longest a command and its answer take on a board of the tests' topologies
// (the default timing answers within a millisecond).
inline constexpr std::chrono::milliseconds kAnswerBound(50);

// Whether `check` answers true within `bound`.
template <class Check>
bool Within(std::chrono::milliseconds bound, Check &&check) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!check())
        if (std::chrono::steady_clock::now() >= deadline) return false;
    return true;
}

// Whether `check` answers true within kAnswerBound: what hardware does a little
// after a change (a lock, a transceiver's ready bit).
template <class Check>
bool Eventually(Check &&check) {
    return Within(kAnswerBound, check);
}

// The code word of an acknowledgment: its code in all four bytes.
constexpr uint32_t AckWord(AckCode code) { return uint32_t(code) * 0x01010101u; }
inline constexpr uint32_t kAckSuccess = AckWord(AckCode::kSuccess);

uint32_t ByteSwap(uint32_t value);
// Reflected CRC-32 (0xEDB88320), initial 0xFFFFFFFF, no final complement, over each word's wire bytes.
uint32_t Crc(std::span<const uint32_t> words);

// Command packets: type word, header, address, data, CRC.
std::vector<uint32_t> ReadPacket(uint32_t address, uint32_t bytes);
std::vector<uint32_t> WritePacket(uint32_t address, std::span<const uint32_t> dataWords);  // words in wire order
std::vector<uint32_t> WritePacket(uint32_t address, uint32_t value);  // a register value, sent most significant byte first
// The tagged form of a command packet (CoaXPress 2.0): type word 0x05050505,
// the tag in all four bytes of the next word, then the rest, the CRC covering
// every word after the type word.
std::vector<uint32_t> Tagged(std::vector<uint32_t> packet, uint8_t tag);
// Wire bytes of a text as packet words, zero-padded to whole words.
std::vector<uint32_t> TextWords(const std::string &text, size_t bytes);

uint32_t ConnectionConfig(uint32_t links, uint32_t mbps);

// One acknowledgment as it left the receive queue (end marker not kept).
struct Ack {
    std::vector<uint32_t> words;
    uint32_t Code() const { return words.at(0); }
    // The data of a read acknowledgment, checked against its size and CRC.
    std::vector<uint32_t> ReadData() const;
    bool CrcValid() const;
};

// A session of one simulated board.
class Session {
public:
    explicit Session(uint32_t board = 0);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    uint64_t Device() const { return device_; }
    uint64_t Applet() const { return applet_; }

    uint32_t Address(const std::string &name) const;  // fails the test when the applet lacks it
    uint64_t Read(const std::string &name) const;
    void Write(const std::string &name, uint64_t value) const;
    uint64_t Read(const std::string &base, uint32_t port) const { return Read(base + std::to_string(port)); }
    void Write(const std::string &base, uint32_t port, uint64_t value) const { Write(base + std::to_string(port), value); }

    // Sends one framed packet to an applet port's transmit register.
    void Send(uint32_t appletPort, std::span<const uint32_t> packet) const;
    bool PacketSent(uint32_t appletPort) const;
    // The next acknowledgment, whole: its words arrive one by one, so this
    // reads until the end word, for at most `bound`. Nothing when none came.
    std::optional<Ack> WaitAck(uint32_t appletPort, std::chrono::milliseconds bound) const;
    // The answer to a command just sent, which comes within kAnswerBound on any board
    // the tests build; nothing when there is none.
    std::optional<Ack> TakeAck(uint32_t appletPort) const { return WaitAck(appletPort, kAnswerBound); }
    // Sends a packet and takes its answer.
    std::optional<Ack> Exchange(uint32_t appletPort, std::span<const uint32_t> packet) const;

    // Camera register access through the control channel; nothing when unanswered or refused.
    std::optional<uint32_t> ReadCamera(uint32_t appletPort, uint32_t address) const;
    std::vector<uint8_t> ReadCameraBytes(uint32_t appletPort, uint32_t address, uint32_t bytes) const;
    uint32_t WriteCamera(uint32_t appletPort, uint32_t address, uint32_t value) const;  // the ack code, or ~0 for none

    // Family C: programs a port's downlink and uplink for a bit rate.
    void SetLinkRate(uint32_t port, uint32_t mbps) const;
    bool Locked(uint32_t port) const;  // family C status bit 48, now
    // The port locks within kAnswerBound: a link takes its lock time after any change.
    bool Locks(uint32_t port) const;

private:
    GrabberSession *session_;
    uint64_t device_ = 0;
    uint64_t applet_ = 0;
};

vexosim_port_stats Stats(uint32_t board, uint32_t port);

// Runs a shell command; its exit status and everything it wrote (stderr included).
std::pair<int, std::string> RunCommand(const std::string &command);

// Every case starts from the default topology, whatever ran before it in the process.
class SimTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(vexosim_load_topology(nullptr), 0); }
};

// The first entry of a zip archive, inflated with zlib (and checked against its CRC).
std::string FirstEntry(const std::vector<uint8_t> &zip, std::string *entryName = nullptr);

// Loads a topology and fails the test when it is rejected.
void LoadTopology(const std::string &json);
// Loads a topology that must be rejected, saying `message` on stderr.
void ExpectRejected(const std::string &json, const std::string &message);

}  // namespace simtest
