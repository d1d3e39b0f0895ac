// The control packet exchange of CxpControllerImpl.
#include <algorithm>
#include <thread>

#include "board/BoardLibraries.h"
#include "cxp/CxpCameraRegisters.h"
#include "cxp/CxpControllerImpl.h"
#include "nox_genicam.h"

namespace vexo::genicam {

using cxp::CxpRegister;
using templates::platform::RecursiveMutex;
using tools::logging::kLevelError;
using tools::logging::kLevelTrace;
using Clock = std::chrono::steady_clock;

namespace {

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

bool CxpControllerImpl::HasControlChannel(uint32_t port) const {
    return registers_.Has(CxpRegister::kTxCmdWriteData, port) && registers_.Has(CxpRegister::kRxCmdAckPacketData, port) &&
           registers_.Has(CxpRegister::kTxCmdPacketSent);
}

// The camera whose commands go through this port: the one whose command port it is.
uint32_t CxpControllerImpl::RecordedControlPacketSize(uint32_t port) const {
    for (uint32_t cameraPort = 0; cameraPort < info_.GetPortCount(); ++cameraPort) {
        if (info_.GetCameraExtensionId(cameraPort) != 0) continue;
        const uint32_t master = info_.GetCameraMasterId(cameraPort);
        if (master != 0 && master != DiscoveryInfo::kNone && info_.GetCommandPort(master) == port)
            return info_.GetControlPacketSize(master);
    }
    return cxp::kNoRecordedSize;
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
    int32_t status = DrainReceiveBuffer(port);
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
            cxp::DataWordsPerPacket(RecordedControlPacketSize(port), maxControlPacketSize_, words - transferred);
        const std::span<std::byte> remaining(data + size_t{transferred} * 4, size_t{words - transferred} * 4);
        const size_t length =
            cxp::BuildCommandPacket(access == Access::kWrite ? cxp::Command::kWrite : cxp::Command::kRead, address + transferred * 4,
                                    packetWords, remaining, swap, packet_);
        if (length == 0) {
            status = cxp::kStatusWaitAck;
            break;
        }
        status = SendPacket(port, {packet_.data(), length});
        if (status == ERR_NONE) status = ConfirmSent(port);
        if (status != ERR_NONE) break;
        const PacketOutcome outcome =
            CollectAck(access, port, acknowledgeMode, timeoutMs, packetWords, remaining, swap);
        status = outcome.status;
        transferred += outcome.wordsDone;
        if (outcome.wordsDone > 0) resends = 0;
        if (outcome.resend && resends < kMaxResends) {
            ++resends;
            status = ERR_NONE;
        }
    }
    return transferred < words ? ERR_GENCP_TOO_FEW_DATA : status;
}

int32_t CxpControllerImpl::DrainReceiveBuffer(uint32_t port) {
    const uint32_t address = registers_.Address(CxpRegister::kRxCmdAckPacketData, port);
    uint64_t value = 0;
    int32_t status = ERR_NONE;
    uint32_t reads = 0;
    do {
        status = ReadBoardRegister(device_, address, &value);
    } while (status == ERR_NONE && !(value & cxp::kReceiveEmpty) && ++reads < kMaxDrainWords);
    // A buffer that never runs empty means a board we cannot talk to.
    if (status == ERR_NONE && !(value & cxp::kReceiveEmpty)) status = ERR_GENCP_TOO_FEW_DATA;
    log_.Lazy(kLevelTrace, [&] {
        return "Clean data buffer - Port: " + std::to_string(port) + " Data: " + cxp::Hex(value) +
               " Status: " + std::to_string(status);
    });
    return status;
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
int32_t CxpControllerImpl::ConfirmSent(uint32_t port) {
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
    log_.Lazy(kLevelTrace, [&] {
        return "ExecRWPacket - Packet send: " + std::to_string(value) + " Status: " + std::to_string(status) +
               " Counter: " + std::to_string(left);
    });
    return status;
}

CxpControllerImpl::PacketOutcome CxpControllerImpl::CollectAck(Access access, uint32_t port,
                                                               AcknowledgeMode acknowledgeMode, uint32_t timeoutMs,
                                                               uint32_t packetWords, std::span<std::byte> readTarget,
                                                               ByteSwap swap) {
    if (acknowledgeMode == AcknowledgeMode::kNone) {
        log_.Lazy(kLevelTrace, [] { return std::string("ExecRWPacket - No ACK expected."); });
        return {ERR_NONE, packetWords, false};
    }
    if (acknowledgeMode != AcknowledgeMode::kRequired && acknowledgeMode != AcknowledgeMode::kOptional)
        return {cxp::kStatusEmptyAck, 0, false};

    uint32_t waitMs = std::max(timeoutMs, kMinAckWaitMs);
    for (uint32_t rounds = kAckRounds;;) {
        log_.Lazy(kLevelTrace, [&] { return "ExecRWPacket - Wait for ACK, Retries left: " + std::to_string(rounds); });
        const int32_t received = ReceiveAck(port, waitMs);
        if (received == kStatusAckTimeout && acknowledgeMode == AcknowledgeMode::kOptional) {
            log_.Lazy(kLevelTrace, [] { return std::string("ExecRWPacket - ACK timed out but it is optional anyway."); });
            return {ERR_NONE, packetWords, false};
        }
        if (received != ERR_NONE) {
            log_.Write(kLevelError, "No ACK received");
            return {received, 0, false};
        }
        log_.Lazy(kLevelTrace, [] { return std::string("Received ACK Packet"); });
        if (access == Access::kRead) return DecodeReadData(readTarget, swap);
        bool again = false;
        const PacketOutcome outcome = DecodeWriteAck(rounds, waitMs, again);
        if (!again) return outcome.status == ERR_NONE ? PacketOutcome{ERR_NONE, packetWords, false} : outcome;
        // Wait and tentative acknowledgments only postpone the answer; once
        // the rounds are used up the write counts as done.
        if (--rounds == 0) return {ERR_NONE, packetWords, false};
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

CxpControllerImpl::PacketOutcome CxpControllerImpl::DecodeReadData(std::span<std::byte> readTarget, ByteSwap swap) {
    const cxp::ReadAck read = cxp::DecodeReadAck(ack_.View(), swap, readTarget);
    log_.Lazy(kLevelTrace, [&] { return "ExecRWPacket - GetDataFromRawPacket Buffer: " + WordList(ack_.View()); });
    if (read.status != ERR_NONE) return {read.status, 0, false};
    // An answer that carries no data would repeat forever; it spends the
    // resend budget like a malformed one.
    if (ack_.overflow || read.unexpectedLength || read.wordsCopied == 0) return {cxp::kStatusMalformedAck, 0, true};
    return {ERR_NONE, read.wordsCopied, false};
}

int32_t CxpControllerImpl::ReceiveAck(uint32_t port, uint32_t waitMs) {
    const uint32_t address = registers_.Address(CxpRegister::kRxCmdAckPacketData, port);
    const Clock::time_point start = Clock::now();
    ack_.length = 0;
    ack_.overflow = false;
    const int32_t status = WaitForFirstAckWord(address, waitMs, start);
    return status != ERR_NONE ? status : ReadRestOfAck(address, waitMs, start);
}

int32_t CxpControllerImpl::WaitForFirstAckWord(uint32_t address, uint32_t waitMs, Clock::time_point start) {
    for (;;) {
        uint64_t value = 0;
        const int32_t status = ReadBoardRegister(device_, address, &value);
        log_.Lazy(kLevelTrace, [&] {
            return "ExecRWPacket - ACK read status: " + std::to_string(status) + ", Stopwatch at " +
                   std::to_string(ElapsedMs(start)) + "ms";
        });
        if (status != ERR_NONE) return status;
        if (!(value & cxp::kReceiveEmpty)) {
            ack_.words[0] = static_cast<uint32_t>(value);
            ack_.length = 1;
            return ERR_NONE;
        }
        if (ElapsedMs(start) > waitMs) return kStatusAckTimeout;
        std::this_thread::yield();
    }
}

// Words beyond the buffer's capacity are read and dropped, and the answer is
// then refused as malformed. Only a board that keeps sending can make this
// loop long, so the clock is looked at once every buffer's worth of words: a
// well-formed answer is read without it (reading the clock four times per
// packet was a measurable part of a memory read).
int32_t CxpControllerImpl::ReadRestOfAck(uint32_t address, uint32_t waitMs, Clock::time_point start) {
    constexpr uint32_t kWordsPerClockCheck = AckBuffer::kCapacity;
    int32_t status = ERR_NONE;
    bool stop = false;
    uint32_t received = ack_.length;
    while (!stop) {
        uint64_t value = 0;
        status = ReadBoardRegister(device_, address, &value);
        if (status != ERR_NONE) break;
        const uint32_t word = static_cast<uint32_t>(value);
        stop = (value & cxp::kReceiveEmpty) || word == cxp::kAckEndWord;
        if (!stop && received++ < AckBuffer::kCapacity) ack_.words[ack_.length++] = word;
        if (!stop && received % kWordsPerClockCheck == 0 && ElapsedMs(start) > waitMs) {
            status = kStatusAckTimeout;
            break;
        }
    }
    ack_.overflow = received > AckBuffer::kCapacity;
    log_.Lazy(kLevelTrace, [&] {
        return "ReadPacketData - Status: " + std::to_string(status) + " Stop: " + std::to_string(stop) +
               " Size: " + std::to_string(received);
    });
    return status;
}

bool CxpControllerImpl::ClearAckBuffer(uint32_t port, std::vector<uint32_t> &words) {
    RecursiveMutex::Guard guard(mutex_);
    words.clear();
    const uint32_t address = registers_.Address(CxpRegister::kRxCmdAckPacketData, port);
    if (address == 0) return false;
    // Words another program's command is still waiting for are not ours to drop.
    RegisterLockGuard boardLock(*this);
    if (!boardLock.Held()) return true;
    for (uint32_t reads = 0; reads < kMaxDrainWords; ++reads) {
        uint64_t value = 0;
        if (ReadBoardRegister(device_, address, &value) != ERR_NONE || (value & cxp::kReceiveEmpty)) break;
        words.push_back(static_cast<uint32_t>(value));
    }
    return true;
}

}  // namespace vexo::genicam
