#include "RawControlChannel.h"

#include <array>
#include <chrono>
#include <cstring>
#include <span>
#include <string>

#include "Topologies.h"
#include "WireTime.h"
#include "cxp/CxpPacket.h"
#include "protocol/CxpControlPacket.h"
#include "protocol/GrabberSession.h"

extern "C" {
int32_t ReadBoardRegister(uint64_t device, uint32_t address, uint64_t *value);
int32_t WriteBoardRegister(uint64_t device, uint32_t address, uint64_t value);
int64_t FindAppletRegister(uint64_t applet, const char *name);
}

namespace nox_bench {
namespace {

namespace cxp = vexo::genicam::cxp;

using vexo::protocol::cxp::kAckEndWord;
using vexo::protocol::cxp::kPacketEndMarker;
using vexo::protocol::cxp::kPacketStartMarker;
using vexo::protocol::cxp::kReceiveEmpty;
using vexo::protocol::grabber_session::kAppletHandleOffset;
using vexo::protocol::grabber_session::kDeviceHandleOffset;

// The benchmark cameras are of revision 2.0, so the library tags their
// commands: the same tag word goes up here, and its answer's tag comes back.
constexpr uint8_t kTag = 0x11;
constexpr uint32_t kTagBytes = 4;

// Laid out by the library's own (tested) packet builder.
CommandWords Command(cxp::Command command, uint32_t address, uint32_t words, std::span<const uint32_t> data) {
    std::array<uint32_t, cxp::kMaxCommandWords> packet{};
    const size_t length = cxp::BuildCommandPacket(command, address, words, std::as_bytes(data),
                                                  vexo::genicam::ByteSwap::kWireOrder, packet, kTag);
    CommandWords all = {kPacketStartMarker};
    all.insert(all.end(), packet.begin(), packet.begin() + static_cast<std::ptrdiff_t>(length));
    all.push_back(kPacketEndMarker);
    return all;
}

}  // namespace

RawControlChannel::RawControlChannel(const GrabberSession *session, uint32_t appletPort) : port_(appletPort) {
    if (session == nullptr) return;
    std::memcpy(&device_, reinterpret_cast<const unsigned char *>(session) + kDeviceHandleOffset, sizeof device_);
    std::memcpy(&applet_, reinterpret_cast<const unsigned char *>(session) + kAppletHandleOffset, sizeof applet_);
    const std::string port = std::to_string(appletPort);
    tx_ = Address(("CxpTxCmdWriteData_" + port).c_str());
    rx_ = Address(("CxpRxCmdAckPacketData_" + port).c_str());
    sent_ = Address("CxpTxCmdPacketSent");
}

uint32_t RawControlChannel::Address(const char *name) const {
    const int64_t address = FindAppletRegister(applet_, name);
    return address > 0 ? static_cast<uint32_t>(address) : 0;
}

// The answer's words come one by one after the camera's turn-around: the
// queue is read until the end word, for at most a second, reading again at
// once while it is empty (as the library does while an answer is due). The
// tag word comes first, then the acknowledgment code.
bool RawControlChannel::Exchange(const CommandWords &command) const {
    using Clock = std::chrono::steady_clock;
    for (uint64_t word : command) WriteBoardRegister(device_, tx_, word);
    uint64_t value = 0;
    ReadBoardRegister(device_, sent_, &value);
    if (!(value >> port_ & 1)) return false;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(1);
    uint32_t received = 0;
    bool success = false;
    for (;;) {
        ReadBoardRegister(device_, rx_, &value);
        if (value & kReceiveEmpty) {
            if (Clock::now() > deadline) return false;
            continue;
        }
        const uint32_t word = static_cast<uint32_t>(value);
        if (word == kAckEndWord) return success;
        if (received == 0 && word != cxp::TagWord(kTag)) return false;
        if (received == 1) success = word == 0;
        ++received;
    }
}

bool RawControlChannel::ExchangeAll(const std::vector<CommandWords> &commands) const {
    for (const CommandWords &command : commands)
        if (!Exchange(command)) return false;
    return true;
}

std::vector<CommandWords> RawControlChannel::ReadCommands(uint32_t address, uint32_t bytes) {
    const uint32_t perPacket = DataBytesPerPacket(kControlPacketSize) - kTagBytes;
    std::vector<CommandWords> commands;
    for (uint32_t done = 0; done < bytes; done += perPacket)
        commands.push_back(Command(cxp::Command::kRead, address + done, (std::min(perPacket, bytes - done) + 3) / 4, {}));
    return commands;
}

CommandWords RawControlChannel::RegisterWrite(uint32_t address, uint32_t value) {
    const uint32_t wire = __builtin_bswap32(value);
    return Command(cxp::Command::kWrite, address, 1, std::span<const uint32_t>(&wire, 1));
}

}  // namespace nox_bench
