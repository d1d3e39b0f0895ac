// The control packet exchange of CxpControllerImpl.
#include <algorithm>
#include <utility>

#include "board/BoardLibraries.h"
#include "cxp/CxpCameraRegisters.h"
#include "cxp/CxpControllerImpl.h"
#include "cxp/PollPacer.h"
#include "nox_genicam.h"

namespace vexo::genicam {

using cxp::CxpRegister;
using templates::platform::RecursiveMutex;
using tools::logging::kLevelDetail;
using tools::logging::kLevelError;
using tools::logging::kLevelTrace;
using tools::logging::kLevelWarning;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint32_t kNone = DiscoveryInfo::kNone;

constexpr bool TagWordEndsAnswer(uint8_t tag) { return cxp::TagWord(tag) == cxp::kAckEndWord; }
// A register read is answered within tens of microseconds of its command
// (the busy phase), and a command of the largest packet is about a
// millisecond on the uplink (the yielding phase).
cxp::PollPacer AckPacer() { return cxp::PollPacer(std::chrono::microseconds(100), std::chrono::microseconds(1000)); }

thread_local uint32_t t_refusalLevel = kLevelError;

uint64_t ElapsedMs(Clock::time_point start) {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

std::string HexWord(uint32_t word) {
    char text[12];
    std::snprintf(text, sizeof text, "%08x", word);
    return text;
}

std::string WordList(std::span<const uint32_t> words) {
    std::string list;
    for (uint32_t word : words) {
        if (!list.empty()) list += ' ';
        list += HexWord(word);
    }
    return list;
}

}  // namespace

uint32_t CxpControllerImpl::SwapRefusalLevel(uint32_t level) { return std::exchange(t_refusalLevel, level); }

bool CxpControllerImpl::HasControlChannel(uint32_t port) const {
    return registers_.Has(CxpRegister::kTxCmdWriteData, port) && registers_.Has(CxpRegister::kRxCmdAckPacketData, port) &&
           registers_.Has(CxpRegister::kTxCmdPacketSent);
}

// The camera whose commands go through this port: the one whose command port
// it is. A camera whose master link is on the port itself comes first: before
// the routing follows the operators, that is the camera the port reaches.
uint32_t CxpControllerImpl::CommandPortCamera(uint32_t port) const {
    const auto commandedThrough = [&](uint32_t cameraPort) {
        if (cameraPort >= info_.GetPortCount() || info_.GetCameraExtensionId(cameraPort) != 0) return kNone;
        const uint32_t master = info_.GetCameraMasterId(cameraPort);
        return master != 0 && master != kNone && info_.GetCommandPort(master) == port ? master : kNone;
    };
    if (const uint32_t own = commandedThrough(port); own != kNone) return own;
    for (uint32_t cameraPort = 0; cameraPort < info_.GetPortCount(); ++cameraPort)
        if (const uint32_t master = commandedThrough(cameraPort); master != kNone) return master;
    return kNone;
}

// Tags came with CoaXPress 2.0; older cameras, and ports with no known camera, get untagged commands.
bool CxpControllerImpl::TaggedCommands(uint32_t port, uint32_t camera, uint32_t timeoutMs) {
    if (camera == kNone) return false;
    uint32_t revision = info_.GetProtocolRevision(camera);
    if (revision == kNone) revision = ProbeRevision(port, camera, timeoutMs);
    return revision != kNone && revision >= protocol::cxp::kRevision2_0;
}

// A camera known without its revision (its links configured from a file
// rather than discovered) is asked, untagged, and the answer recorded. One
// that does not answer gets untagged commands and is not asked again.
uint32_t CxpControllerImpl::ProbeRevision(uint32_t port, uint32_t camera, uint32_t timeoutMs) {
    CommandChannel &channel = channels_[port];
    if (channel.unansweredProbe == camera) return kNone;
    channel.unansweredProbe = camera;  // also sends the probe's own command untagged
    uint32_t revision = 0;
    if (ExecRWPacket(Access::kRead, port, cxp::camera_register::kRevision, &revision, 4, ByteSwap::kSwapWords,
                     AcknowledgeMode::kRequired, timeoutMs) != ERR_NONE)
        return kNone;
    channel.unansweredProbe = kNone;
    info_.SetProtocolRevision(camera, revision);
    return revision;
}

int32_t CxpControllerImpl::ExecRWPacket(Access access, uint32_t port, uint32_t address, void *buffer, uint32_t bytes,
                                        ByteSwap swap, AcknowledgeMode acknowledgeMode, uint32_t timeoutMs) {
    RecursiveMutex::Guard guard(mutex_);
    if (buffer == nullptr) return ERR_INVALID_POINTER;
    const uint32_t words = bytes / 4;
    if (!HasControlChannel(port)) {
        log_.Write(kLevelError, "No control channel on port " + std::to_string(port));
        return words == 0 ? ERR_NONE : ERR_GENCP_TOO_FEW_DATA;
    }
    // Another program on the board sends through the same ports: its packet
    // words must not interleave with ours, nor its drain take our answers.
    RegisterLockGuard boardLock(*this);
    if (!boardLock.Held()) return ERR_OPERATION_BLOCKED;
    const uint32_t camera = CommandPortCamera(port);
    const bool tagged = TaggedCommands(port, camera, timeoutMs);
    const uint32_t packetSize = camera == kNone ? cxp::kNoRecordedSize : info_.GetControlPacketSize(camera);
    const CommandChannel &channel = channels_[port];
    // A fence on its way is awaited by Resynchronise, which tells its answer from the late ones.
    int32_t status = tagged || channel.fenceBytes == 0 ? DrainReceiveBuffer(port, tagged) : ERR_NONE;
    if (status == ERR_NONE && words > 0 && !tagged && channel.lateAnswers > 0) status = Resynchronise(port, timeoutMs);
    log_.Lazy(kLevelTrace, [&] {
        return "ExecRWPacket - Port: " + std::to_string(port) + ", Address: " + cxp::Hex(address) +
               ", Size: " + std::to_string(bytes) + ", Swap: " + (swap == ByteSwap::kSwapWords ? "yes" : "no") +
               ", TimeOut: " + std::to_string(timeoutMs);
    });

    auto *data = static_cast<std::byte *>(buffer);
    uint32_t transferred = 0;
    uint32_t resends = 0;
    while (status == ERR_NONE && transferred < words) {
        const uint32_t packetWords =
            cxp::DataWordsPerPacket(packetSize, maxControlPacketSize_, words - transferred, tagged);
        const std::span<std::byte> remaining(data + size_t{transferred} * 4, size_t{words - transferred} * 4);
        const uint32_t packetAddress = address + transferred * 4;
        std::optional<uint8_t> tag;
        if (tagged) tag = NextTag(port);
        const size_t length =
            cxp::BuildCommandPacket(access == Access::kWrite ? cxp::Command::kWrite : cxp::Command::kRead,
                                    packetAddress, packetWords, remaining, swap, packet_, tag);
        if (length == 0) {
            status = cxp::kStatusWaitAck;
            break;
        }
        bool sent = false;
        status = SendPacket(port, {packet_.data(), length});
        if (status == ERR_NONE) status = ConfirmSent(port, sent);
        if (status != ERR_NONE) break;
        std::optional<uint32_t> tagWord;
        if (tag) tagWord = cxp::TagWord(*tag);
        const PacketOutcome outcome =
            CollectAck(access, port, acknowledgeMode, timeoutMs, packetWords, remaining, swap, tagWord);
        // A tag tells a late answer from the next one; without it the next command drains it first.
        if (!tag && sent && outcome.lateWindowMs > 0) {
            const bool standardRead = access == Access::kRead && packetAddress == cxp::camera_register::kStandard;
            ExpectLateAnswer(port, outcome.lateWindowMs, standardRead ? packetWords * 4 : 0);
        }
        status = outcome.status;
        transferred += outcome.wordsDone;
        if (outcome.wordsDone > 0) resends = 0;
        if (outcome.resend && resends < kMaxResends) {
            ++resends;
            status = ERR_NONE;
        }
    }
    if (transferred < words) {
        // The caller's status says only that the exchange fell short; the record says what the camera answered.
        if (const std::string answer = cxp::AckStatusText(status); !answer.empty())
            log_.Write(t_refusalLevel, "Camera answered " + answer + " to the " +
                                        (access == Access::kWrite ? "write" : "read") + " of " +
                                        std::to_string(bytes) + " bytes at " + cxp::Hex(address) + " on port " +
                                        std::to_string(port));
        return ERR_GENCP_TOO_FEW_DATA;
    }
    return status;
}

// Empties the receive queue before a command. Answers to earlier untagged
// commands that may still be on their way are awaited too, up to their end
// words or the end of their window. A tagged command needs them no more
// after that: its tag tells them from its own answer.
int32_t CxpControllerImpl::DrainReceiveBuffer(uint32_t port, bool tagged) {
    const uint32_t address = registers_.Address(CxpRegister::kRxCmdAckPacketData, port);
    CommandChannel &channel = channels_[port];
    const uint32_t late = channel.lateAnswers;
    const bool windowOpen = late > 0 && Clock::now() < channel.lateUntil;
    cxp::PollPacer pacer = AckPacer();
    uint64_t value = 0;
    int32_t status = ERR_NONE;
    for (uint32_t reads = 0; reads < kMaxDrainWords; ++reads) {
        status = ReadBoardRegister(device_, address, &value);
        if (status != ERR_NONE) break;
        if (!(value & cxp::kReceiveEmpty)) {
            if (static_cast<uint32_t>(value) == cxp::kAckEndWord && channel.lateAnswers > 0) --channel.lateAnswers;
            continue;
        }
        // Late answers are awaited here, so the caller never gets one as the data it asked for.
        if (channel.lateAnswers == 0 || Clock::now() >= channel.lateUntil) break;
        pacer.Pause();
    }
    // A buffer that never runs empty means a board we cannot talk to.
    if (status == ERR_NONE && !(value & cxp::kReceiveEmpty)) status = ERR_GENCP_TOO_FEW_DATA;
    if (windowOpen || channel.lateAnswers < late)
        log_.Write(kLevelDetail, "Drained " + std::to_string(late - channel.lateAnswers) + " of " +
                                     std::to_string(late) + " late acknowledgments on port " + std::to_string(port));
    if (tagged) channel.InStep();
    log_.Lazy(kLevelTrace, [&] {
        return "Clean data buffer - Port: " + std::to_string(port) + " Data: " + cxp::Hex(value) +
               " Status: " + std::to_string(status);
    });
    return status;
}

// Answers to untagged commands carry nothing that names their command, so a
// late one that comes after its window would pass for the next command's. A
// fence goes ahead of that command: a read of the Standard register of a
// size no answer on its way has, and answers are dropped until the fence's
// own. The camera answers in order, so every earlier answer has come by then
// or is lost. Until then no command is sent; a fence that has not come
// within its own window counts as lost, and the next command sends another.
int32_t CxpControllerImpl::Resynchronise(uint32_t port, uint32_t timeoutMs) {
    CommandChannel &channel = channels_[port];
    const uint32_t waitMs = std::max(timeoutMs, kMinAckWaitMs);
    if (channel.fenceBytes == 0 || Clock::now() >= channel.fenceUntil) {
        if (const int32_t status = SendFence(port, waitMs); status != ERR_NONE) return status;
    }
    const uint32_t address = registers_.Address(CxpRegister::kRxCmdAckPacketData, port);
    const Clock::time_point start = Clock::now();
    for (uint32_t dropped = 0;; ++dropped) {
        if (const int32_t status = ReadOneAck(address, waitMs, start); status != ERR_NONE) {
            log_.Write(kLevelWarning, "Late acknowledgments may still come on port " + std::to_string(port) +
                                          "; the command is not sent");
            return status;
        }
        if (IsFenceAnswer(channel.fenceBytes)) {
            log_.Write(kLevelDetail, "Dropped " + std::to_string(dropped) + " late acknowledgments on port " +
                                         std::to_string(port) + " before its fence");
            channel.InStep();
            return ERR_NONE;
        }
    }
}

// Fences read 4, 8 or 12 bytes from the Standard register on: a size that
// neither the fence before nor a late read of that address has.
int32_t CxpControllerImpl::SendFence(uint32_t port, uint32_t waitMs) {
    CommandChannel &channel = channels_[port];
    uint32_t bytes = 4;
    while (bytes == channel.fenceBytes || bytes == channel.lateStandardReadBytes) bytes += 4;
    const size_t length = cxp::BuildCommandPacket(cxp::Command::kRead, cxp::camera_register::kStandard, bytes / 4, {},
                                                  ByteSwap::kSwapWords, packet_);
    bool sent = false;
    int32_t status = SendPacket(port, {packet_.data(), length});
    if (status == ERR_NONE) status = ConfirmSent(port, sent);
    if (status != ERR_NONE) return status;
    channel.fenceBytes = bytes;
    // Its own wait, and as long again for its answer to come late.
    channel.fenceUntil = Clock::now() + 2 * std::chrono::milliseconds(waitMs);
    log_.Write(kLevelDetail, "Sent a fence read of " + std::to_string(bytes) + " bytes on port " + std::to_string(port));
    return ERR_NONE;
}

bool CxpControllerImpl::IsFenceAnswer(uint32_t bytes) const {
    const std::span<const uint32_t> answer = ack_.View();
    if (ack_.overflow || answer.size() < 3 || cxp::SwapBytes(answer[1]) != bytes) return false;
    std::array<uint32_t, 3> data{};
    const cxp::ReadAck read =
        cxp::DecodeReadAck(answer, ByteSwap::kSwapWords, std::as_writable_bytes(std::span(data)).first(bytes), ack_.crc);
    return read.status == ERR_NONE && !read.unexpectedLength && read.wordsCopied == bytes / 4 &&
           data[0] == cxp::kStandardMagic;
}

// Tag 0xFD is never used: its tag word would read as the end of the answer.
uint8_t CxpControllerImpl::NextTag(uint32_t port) {
    uint8_t &next = channels_[port].nextTag;
    if (TagWordEndsAnswer(next)) ++next;
    return next++;
}

void CxpControllerImpl::ExpectLateAnswer(uint32_t port, uint32_t windowMs, uint32_t standardReadBytes) {
    CommandChannel &channel = channels_[port];
    ++channel.lateAnswers;
    channel.lateUntil = Clock::now() + std::chrono::milliseconds(windowMs);
    channel.lateStandardReadBytes = standardReadBytes;
}

int32_t CxpControllerImpl::SendPacket(uint32_t port, std::span<const uint32_t> packet) {
    const uint32_t address = registers_.Address(CxpRegister::kTxCmdWriteData, port);
    const auto failed = [this](int32_t status) {
        log_.Write(kLevelTrace, "ExecRWPacket - Write failed.");
        return status;
    };
    log_.Lazy(kLevelTrace, [] { return std::string("ExecRWPacket - writing packet start"); });
    if (int32_t status = WriteBoardRegister(device_, address, cxp::kPacketStartMarker); status != ERR_NONE)
        return failed(status);
    for (size_t i = 0; i < packet.size(); ++i) {
        log_.Lazy(kLevelTrace, [&] {
            return "ExecRWPacket - writing data byte " + std::to_string(i) + "(0x" + HexWord(packet[i]) + ")";
        });
        if (int32_t status = WriteBoardRegister(device_, address, packet[i]); status != ERR_NONE) return failed(status);
    }
    log_.Lazy(kLevelTrace, [] { return std::string("ExecRWPacket - writing packet end"); });
    if (int32_t status = WriteBoardRegister(device_, address, cxp::kPacketEndMarker); status != ERR_NONE)
        return failed(status);
    return ERR_NONE;
}

// The board reports the packet sent by setting the port's bit; a board that
// never does still gets its acknowledgment awaited.
int32_t CxpControllerImpl::ConfirmSent(uint32_t port, bool &sent) {
    RegisterLockGuard lock(*this);
    if (!lock.Held()) return ERR_OPERATION_BLOCKED;
    const uint32_t address = registers_.Address(CxpRegister::kTxCmdPacketSent);
    uint64_t value = 0;
    int32_t status = ERR_NONE;
    uint32_t left = kSentPollReads;
    while (left > 0) {
        --left;
        status = ReadBoardRegister(device_, address, &value);
        if (status != ERR_NONE || (value >> port & 1)) break;
    }
    sent = status == ERR_NONE && (value >> port & 1);
    log_.Lazy(kLevelTrace, [&] {
        return "ExecRWPacket - Packet send: " + std::to_string(value) + " Status: " + std::to_string(status) +
               " Counter: " + std::to_string(left);
    });
    return status;
}

CxpControllerImpl::PacketOutcome CxpControllerImpl::CollectAck(Access access, uint32_t port,
                                                               AcknowledgeMode acknowledgeMode, uint32_t timeoutMs,
                                                               uint32_t packetWords, std::span<std::byte> readTarget,
                                                               ByteSwap swap, std::optional<uint32_t> tagWord) {
    if (acknowledgeMode == AcknowledgeMode::kNone) {
        log_.Lazy(kLevelTrace, [] { return std::string("ExecRWPacket - No ACK expected."); });
        return {ERR_NONE, packetWords, false};
    }
    if (acknowledgeMode != AcknowledgeMode::kRequired && acknowledgeMode != AcknowledgeMode::kOptional)
        return {cxp::kStatusEmptyAck, 0, false};

    uint32_t waitMs = std::max(timeoutMs, kMinAckWaitMs);
    for (uint32_t rounds = kAckRounds;;) {
        log_.Lazy(kLevelTrace, [&] { return "ExecRWPacket - Wait for ACK, Retries left: " + std::to_string(rounds); });
        const int32_t received = ReceiveAck(port, waitMs, tagWord, access == Access::kRead ? packetWords * 4 : 0);
        const uint32_t late = received == kStatusAckTimeout ? waitMs : 0;
        if (received == kStatusAckTimeout && acknowledgeMode == AcknowledgeMode::kOptional) {
            log_.Lazy(kLevelTrace, [] { return std::string("ExecRWPacket - ACK timed out but it is optional anyway."); });
            return {ERR_NONE, packetWords, false, late};
        }
        if (received != ERR_NONE) {
            log_.Write(kLevelError, "No ACK received");
            return {received, 0, false, late};
        }
        log_.Lazy(kLevelTrace, [] { return std::string("Received ACK Packet"); });
        if (access == Access::kRead) return DecodeReadData(readTarget, swap, waitMs);
        bool again = false;
        const PacketOutcome outcome = DecodeWriteAck(rounds, waitMs, again);
        if (!again) return outcome.status == ERR_NONE ? PacketOutcome{ERR_NONE, packetWords, false} : outcome;
        // Wait and tentative acknowledgments only postpone the answer; once
        // the rounds are used up the write counts as done, its answer still due.
        if (--rounds == 0) return {ERR_NONE, packetWords, false, waitMs};
    }
}

CxpControllerImpl::PacketOutcome CxpControllerImpl::DecodeWriteAck(uint32_t rounds, uint32_t &waitMs, bool &again) {
    const cxp::AckCode code =
        ack_.overflow ? cxp::AckCode{cxp::kStatusMalformedAck, 0} : cxp::DecodeAckCode(ack_.View());
    if (code.status == cxp::kStatusWaitAck) {
        again = true;
        if (code.waitTimeMs > 0) {
            log_.Lazy(kLevelTrace, [&] {
                return "ExecRWPacket - Got WAIT ACK, wait for: " + std::to_string(code.waitTimeMs) +
                       " ms, retries left: " + std::to_string(rounds);
            });
            // The camera names the time; we never wait less than usual nor without end.
            waitMs = std::max(waitMs, std::min(code.waitTimeMs, kMaxWaitAckMs));
        } else {
            log_.Lazy(kLevelTrace, [] { return std::string("ExecRWPacket - Got TENTATIVE ACK"); });
        }
        return {ERR_NONE, 0, false};
    }
    if (code.status == cxp::kStatusMalformedAck) {
        log_.Lazy(kLevelTrace, [] { return std::string("ExecRWPacket - Malformed Packet"); });
        return {code.status, 0, true};
    }
    return {code.status, 0, false};
}

CxpControllerImpl::PacketOutcome CxpControllerImpl::DecodeReadData(std::span<std::byte> readTarget, ByteSwap swap,
                                                                   uint32_t waitMs) {
    const cxp::ReadAck read = cxp::DecodeReadAck(ack_.View(), swap, readTarget, ack_.crc);
    log_.Lazy(kLevelTrace, [&] { return "ExecRWPacket - GetDataFromRawPacket Buffer: " + WordList(ack_.View()); });
    // A read ends at a wait or tentative acknowledgment; the answer it announces is still due.
    if (read.status == cxp::kStatusWaitAck)
        return {read.status, 0, false, waitMs + std::min(cxp::DecodeAckCode(ack_.View()).waitTimeMs, kMaxWaitAckMs)};
    if (read.status != ERR_NONE) return {read.status, 0, false};
    // An answer that carries no data would repeat forever; it spends the
    // resend budget like a malformed one.
    if (ack_.overflow || read.unexpectedLength || read.wordsCopied == 0) return {cxp::kStatusMalformedAck, 0, true};
    return {ERR_NONE, read.wordsCopied, false};
}

// One answer to the packet just sent (`readBytes`: its read size, 0 for a
// write). Answers that cannot be its own (late answers to earlier commands)
// are dropped and the wait goes on: with a tag, those that carry another;
// without, those of another shape.
int32_t CxpControllerImpl::ReceiveAck(uint32_t port, uint32_t waitMs, std::optional<uint32_t> tagWord,
                                      uint32_t readBytes) {
    const uint32_t address = registers_.Address(CxpRegister::kRxCmdAckPacketData, port);
    const Clock::time_point start = Clock::now();
    for (;;) {
        const int32_t status = ReadOneAck(address, waitMs, start);
        if (status != ERR_NONE) return status;
        if (!tagWord) {
            if (FitsUntaggedCommand(readBytes)) return ERR_NONE;
            log_.Write(kLevelWarning, "Dropped an acknowledgment of another command on port " + std::to_string(port) +
                                          ": " + WordList(ack_.View().first(std::min<size_t>(ack_.length, 2))));
            continue;
        }
        if (ack_.length > 0 && ack_.words[0] == *tagWord) {
            ack_.first = 1;
            ack_.crc = cxp::ControlPacketCrc({ack_.words.data(), 1});
            return ERR_NONE;
        }
        log_.Write(kLevelWarning, "Dropped an acknowledgment tagged " + cxp::Hex(ack_.length > 0 ? ack_.words[0] : 0) +
                                      " on port " + std::to_string(port) + "; waiting for tag " + cxp::Hex(*tagWord));
    }
}

// An untagged answer shows its command only by its shape: a successful read
// answer carries the size asked, a successful write answer no data. Other
// answers (refusals, waits, malformed ones) are taken as they are.
bool CxpControllerImpl::FitsUntaggedCommand(uint32_t readBytes) const {
    const std::span<const uint32_t> answer = ack_.View();
    if (ack_.overflow || cxp::DecodeAckCode(answer).status != ERR_NONE) return true;
    const bool carriesData = answer.size() >= 3;
    return readBytes == 0 ? !carriesData : carriesData && cxp::SwapBytes(answer[1]) == readBytes;
}

// Reads one answer up to its end word, its words as they come, within the
// wait time counted from `start`. Words beyond the buffer's capacity are read
// and dropped, and the answer is then refused as malformed.
int32_t CxpControllerImpl::ReadOneAck(uint32_t address, uint32_t waitMs, Clock::time_point start) {
    // Only a board that keeps sending can make the loop long, so while words
    // come the clock is looked at once per buffer's worth of them.
    constexpr uint32_t kWordsPerClockCheck = AckBuffer::kCapacity;
    const auto timedOut = [&] { return ElapsedMs(start) > waitMs; };
    ack_.length = 0;
    ack_.overflow = false;
    ack_.first = 0;
    ack_.crc = cxp::kCrcInitial;
    cxp::PollPacer pacer = AckPacer();
    int32_t status = ERR_NONE;
    bool stop = false;
    uint32_t received = 0;
    while (!stop) {
        uint64_t value = 0;
        status = ReadBoardRegister(device_, address, &value);
        if (received == 0)
            log_.Lazy(kLevelTrace, [&] {
                return "ExecRWPacket - ACK read status: " + std::to_string(status) + ", Stopwatch at " +
                       std::to_string(ElapsedMs(start)) + "ms";
            });
        if (status != ERR_NONE) break;
        const uint32_t word = static_cast<uint32_t>(value);
        if (value & cxp::kReceiveEmpty) {
            // Waits for the end word, not only the first: the caller never decodes part of an answer.
            if (timedOut()) status = kStatusAckTimeout;
            if (status != ERR_NONE) break;
            pacer.Pause();
        } else if (word == cxp::kAckEndWord) {
            stop = received > 0;  // an end word before any answer ends none
        } else {
            if (received < AckBuffer::kCapacity) ack_.words[ack_.length++] = word;
            if (++received % kWordsPerClockCheck == 0 && timedOut()) {
                status = kStatusAckTimeout;
                break;
            }
        }
    }
    ack_.overflow = received > AckBuffer::kCapacity;
    log_.Lazy(kLevelTrace, [&] {
        return "ReadPacketData - Status: " + std::to_string(status) + " Stop: " + std::to_string(stop) +
               " Size: " + std::to_string(received);
    });
    return status;
}

bool CxpControllerImpl::ClearAckBuffer(uint32_t port, std::vector<uint32_t> &words, uint32_t awaitAnswerMs) {
    RecursiveMutex::Guard guard(mutex_);
    words.clear();
    const uint32_t address = registers_.Address(CxpRegister::kRxCmdAckPacketData, port);
    if (address == 0) return false;
    // Words another program's command is still waiting for are not ours to drop.
    RegisterLockGuard boardLock(*this);
    if (!boardLock.Held()) return true;
    const Clock::time_point start = Clock::now();
    cxp::PollPacer pacer = AckPacer();
    bool answered = false;
    for (uint32_t reads = 0; reads < kMaxDrainWords; ++reads) {
        uint64_t value = 0;
        if (ReadBoardRegister(device_, address, &value) != ERR_NONE) break;
        if (!(value & cxp::kReceiveEmpty)) {
            words.push_back(static_cast<uint32_t>(value));
            answered |= static_cast<uint32_t>(value) == cxp::kAckEndWord;
            continue;
        }
        if (answered || ElapsedMs(start) >= awaitAnswerMs) break;
        pacer.Pause();
    }
    return true;
}

}  // namespace vexo::genicam
