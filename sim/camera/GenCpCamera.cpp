#include "camera/GenCpCamera.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "description/ZipArchive.h"
#include "protocol/CameraLink.h"

namespace vexo::sim {
namespace {

namespace gencp = protocol::gencp;
namespace bootstrap = protocol::gencp::bootstrap;
namespace manifest = protocol::gencp::manifest;
using gencp::CommandId;
using gencp::kHeaderBytes;
using gencp::Status;

constexpr uint32_t kCurrentBaudRegister = kGenCpTechnologyBootstrap + bootstrap::kCurrentBaudMaskOffset;
constexpr uint32_t kSupportedBaudRegister = kGenCpTechnologyBootstrap + bootstrap::kSupportedBaudMaskOffset;
constexpr uint32_t kFileVersion = 0x01000000;       // 1.0.0
constexpr uint32_t kSchemaVersion = 0x0101;         // 1.1
constexpr uint16_t kBusyFlags = uint16_t(Status::kBusy);
// The longest SCD a command may announce; longer is no command.
constexpr uint32_t kMaxCommandScd = kGenCpInputBytes - kHeaderBytes;
// A command whose bytes stop coming for this long is abandoned, as a camera's
// receiver gives up on a partial packet.
constexpr auto kInputGap = std::chrono::milliseconds(100);

// What a memory access that failed answers.
uint16_t StatusOf(AckCode code) {
    switch (code) {
        case AckCode::kSuccess: return uint16_t(Status::kSuccess);
        case AckCode::kInvalidAddress: return uint16_t(Status::kInvalidAddress);
        case AckCode::kWriteToReadOnly: return uint16_t(Status::kWriteProtect);
        case AckCode::kReadFromWriteOnly: return uint16_t(Status::kAccessDenied);
        case AckCode::kInvalidData:
        case AckCode::kIncorrectSize: return uint16_t(Status::kInvalidParameter);
        default: return uint16_t(Status::kError);
    }
}

uint16_t AckIdOf(uint16_t commandId) { return uint16_t(commandId + 1); }

void PutBigEndian32(uint32_t value, uint8_t *bytes) { BigEndianBytes(value, bytes); }

bool IsZip(const std::vector<uint8_t> &bytes) {
    return bytes.size() >= 4 && PacketWord(bytes.data()) == kZipLocalHeaderSignature;
}

void CopyText(const std::string &text, uint8_t *field) {
    std::memcpy(field, text.data(), std::min<size_t>(text.size(), bootstrap::kStringSize));
}

}  // namespace

GenCpCamera::GenCpCamera(const CameraConfig &config, GenCpCameraState &state, uint8_t *segment,
                         TechnologyRegisters *technology)
    : config_(config), state_(state), technology_(technology) {
    regions_ = {{
        {bootstrap::kDeviceVendorName, uint32_t(sizeof state_.strings), state_.strings, state_.strings,
         bootstrap::kDeviceUserDefinedName},
        {kGenCpManifestTable, kGenCpManifestBytes, state_.manifest, nullptr, 0},
        {kDescriptionAddress, state_.description.size, segment + state_.description.offset, nullptr, 0},
    }};
}

void GenCpCamera::Install(const CameraConfig &config, const DescriptionImage &description, GenCpCameraState &state,
                          uint8_t *segment) {
    const std::string *strings[kGenCpStringCount] = {&config.vendor,  &config.model,
                                                     &config.family,  &config.version,
                                                     &config.manufacturerInfo, &config.serial,
                                                     &config.userId};
    for (uint32_t i = 0; i < kGenCpStringCount; ++i) CopyText(*strings[i], state.strings + i * bootstrap::kStringSize);
    std::memcpy(segment + state.description.offset, description.bytes.data(), description.bytes.size());
    state.description.size = uint32_t(description.bytes.size());
    uint8_t *table = state.manifest;
    PutBigEndian64(1, table);
    uint8_t *entry = table + manifest::kCountBytes;
    const uint32_t fileType = IsZip(description.bytes) ? manifest::kFileTypeZip : manifest::kFileTypePlain;
    PutBigEndian32(kFileVersion, entry + manifest::kFileVersionOffset);
    PutBigEndian32(kSchemaVersion << manifest::kSchemaShift | fileType << manifest::kFileTypeShift,
                   entry + manifest::kSchemaWordOffset);
    PutBigEndian64(kDescriptionAddress, entry + manifest::kFileAddressOffset);
    PutBigEndian64(description.bytes.size(), entry + manifest::kFileSizeOffset);
    state.baud = config.baud;
    state.features.Reset();
}

void GenCpCamera::Repair() { state_.inputCount = 0; }

uint32_t GenCpCamera::TechnologyBootstrap() const {
    return technology_ ? technology_->Bootstrap() : kGenCpTechnologyBootstrap;
}

uint32_t GenCpCamera::SupportedBaudMask() const {
    uint32_t mask = 0;
    for (uint32_t baud : config_.bauds) mask |= protocol::cl::BaudMaskBit(baud);
    return mask;
}

void GenCpCamera::Receive(std::span<const uint8_t> bytes, Clock::time_point first, Clock::duration pace,
                          CameraFault &fault, TrafficCounters &counters, ByteLine &line) {
    Context context{fault, counters, line};
    for (size_t i = 0; i < bytes.size(); ++i) {
        const Clock::time_point arrival = first + pace * i;
        if (state_.inputCount > 0 && arrival - state_.lastByteAt > kInputGap) state_.inputCount = 0;
        state_.lastByteAt = arrival;
        state_.input[state_.inputCount++] = bytes[i];
        TakeApart(arrival, context);
    }
}

// Skips to a preamble, checks the header, waits for the whole packet, checks
// it and hands it on. Never holds more than one command's bytes.
void GenCpCamera::TakeApart(Clock::time_point arrival, Context &context) {
    for (;;) {
        const uint8_t *input = state_.input;
        if (state_.inputCount >= 1 && input[0] != 0x01) {
            DropInput(1);
            continue;
        }
        if (state_.inputCount >= 2 && input[1] != 0x00) {
            DropInput(1);
            continue;
        }
        if (state_.inputCount < kHeaderBytes) return;
        const std::span<const uint8_t> received(input, state_.inputCount);
        if (!CcdChecksumHolds(received)) {
            ++context.counters.crcErrors;
            DropInput(2);
            continue;
        }
        const uint32_t length = ReadGenCpHeader(received).length;
        if (length > kMaxCommandScd) {
            ++context.counters.framingErrors;
            DropInput(2);
            continue;
        }
        if (state_.inputCount < kHeaderBytes + length) return;
        const std::span<const uint8_t> packet = received.first(kHeaderBytes + length);
        if (ScdChecksumHolds(packet))
            Handle(packet, arrival, context);
        else
            ++context.counters.crcErrors;
        DropInput(uint32_t(packet.size()));
    }
}

void GenCpCamera::DropInput(uint32_t bytes) {
    bytes = std::min(bytes, state_.inputCount);
    std::memmove(state_.input, state_.input + bytes, state_.inputCount - bytes);
    state_.inputCount -= bytes;
}

// A resend of the command executed last gets its answer again; a forced
// status refuses the command unexecuted.
void GenCpCamera::Handle(std::span<const uint8_t> command, Clock::time_point arrival, Context &context) {
    ++context.counters.commandsReceived;
    const GenCpHeader header = ReadGenCpHeader(command);
    const bool read = header.commandId == uint16_t(CommandId::kReadMem);
    // A busy echo waits for a read; other commands pass it by.
    const FaultKind kind = context.fault.kind == FaultKind::BusyEcho && !read ? FaultKind::None : context.fault.TakeOne();
    switchToBaud_ = 0;
    const GenCpPacket answer = kind == FaultKind::Status
                                   ? GenCpRefusal(header, uint16_t(context.fault.value))
                                   : Answer(header, command.subspan(kHeaderBytes), context.counters, arrival);
    Deliver(answer, command, context.fault, kind, arrival + context.line.TurnAround(), context);
    // The switch comes after the acknowledge, which still goes at the old rate.
    if (switchToBaud_ != 0) state_.baud = switchToBaud_;
}

GenCpPacket GenCpCamera::Answer(const GenCpHeader &header, std::span<const uint8_t> scd, TrafficCounters &counters,
                                Clock::time_point now) {
    const bool resend = (header.flagsOrStatus & gencp::kFlagResend) && state_.remembered &&
                        header.requestId == state_.lastRequestId && header.commandId == state_.lastCommandId;
    if (resend) return state_.lastAnswer;
    const GenCpPacket answer = Execute(header, scd, counters, now);
    if (header.commandId == uint16_t(CommandId::kReadMem) || header.commandId == uint16_t(CommandId::kWriteMem)) {
        state_.remembered = true;
        state_.lastRequestId = header.requestId;
        state_.lastCommandId = header.commandId;
        state_.lastAnswer = answer;
    }
    return answer;
}

GenCpPacket GenCpCamera::Execute(const GenCpHeader &header, std::span<const uint8_t> scd, TrafficCounters &counters,
                                 Clock::time_point now) {
    if (header.commandId == uint16_t(CommandId::kReadMem)) return ExecuteRead(header, scd, counters, now);
    if (header.commandId == uint16_t(CommandId::kWriteMem)) return ExecuteWrite(header, scd, counters, now);
    return GenCpRefusal(header, uint16_t(Status::kNotImplemented));
}

GenCpPacket GenCpCamera::ExecuteRead(const GenCpHeader &header, std::span<const uint8_t> scd,
                                     TrafficCounters &counters, Clock::time_point now) {
    if (scd.size() != gencp::kReadCommandScdBytes) return GenCpRefusal(header, uint16_t(Status::kInvalidParameter));
    const uint64_t address = BigEndian64(scd.data());
    const uint16_t count = BigEndian16(scd.data() + 10);
    if (count > gencp::kMaxReadBytes) return GenCpRefusal(header, uint16_t(Status::kInvalidParameter));
    const uint16_t status = StatusOf(ReadMemory(regions_, Registers{*this, now}, address, count, scratch_.data()));
    if (status != 0) return GenCpRefusal(header, status);
    counters.bytesRead += count;
    return GenCpPacket::Make(0, AckIdOf(header.commandId), header.requestId, std::span(scratch_.data(), count));
}

GenCpPacket GenCpCamera::ExecuteWrite(const GenCpHeader &header, std::span<const uint8_t> scd,
                                      TrafficCounters &counters, Clock::time_point now) {
    if (scd.size() < gencp::kWriteCommandAddressBytes) return GenCpRefusal(header, uint16_t(Status::kInvalidParameter));
    const std::span<const uint8_t> data = scd.subspan(gencp::kWriteCommandAddressBytes);
    if (data.size() > gencp::kMaxWriteBytes) return GenCpRefusal(header, uint16_t(Status::kInvalidParameter));
    Registers registers{*this, now};
    const uint16_t status =
        StatusOf(WriteMemory(regions_, registers, BigEndian64(scd.data()), data.data(), uint32_t(data.size())));
    if (status != 0) return GenCpRefusal(header, status);
    counters.bytesWritten += data.size();
    return GenCpPacket::Make(0, AckIdOf(header.commandId), header.requestId, GenCpShortScd(uint16_t(data.size())));
}

// The answer on the line, as the fault has it. A late answer (after a pending
// acknowledge or a busy echo) ends about half the announced time later.
void GenCpCamera::Deliver(const GenCpPacket &answer, std::span<const uint8_t> command, const CameraFault &fault,
                          FaultKind kind, Clock::time_point at, Context &context) {
    ByteLine &line = context.line;
    const uint32_t baud = state_.baud;
    const std::span<const uint8_t> bytes = answer.Bytes();
    const auto lateStart = [&](Clock::time_point after) {
        const Clock::duration wait = std::chrono::milliseconds(fault.value) / 2 - line.LineTime(bytes.size(), baud);
        return after + std::max(Clock::duration::zero(), wait);
    };
    const auto send = [&](std::span<const uint8_t> packet, Clock::time_point when, bool acknowledge) {
        if (acknowledge) ++context.counters.acksSent;
        return line.Send(packet, baud, when);
    };
    switch (kind) {
        case FaultKind::NoAck: return;
        case FaultKind::PendingAck: {
            const GenCpPacket pending = GenCpPendingAck(answer.RequestId(), uint16_t(fault.value));
            send(bytes, lateStart(send(pending.Bytes(), at, true)), true);
            return;
        }
        case FaultKind::BusyEcho: {
            const GenCpPacket echo = GenCpPacket::Restamped(command, kBusyFlags, answer.RequestId());
            send(bytes, lateStart(send(echo.Bytes(), at, false)), true);
            return;
        }
        case FaultKind::Garbage: {
            std::array<uint8_t, kMaxGarbageBytes> noise;
            const uint32_t count = std::min<uint32_t>(fault.value, kMaxGarbageBytes);
            for (uint32_t i = 0; i < count; ++i) noise[i] = NoiseByte();
            send(std::span(noise.data(), count), at, false);
            break;
        }
        case FaultKind::Split: {
            const size_t half = bytes.size() / 2;
            const Clock::time_point firstEnd = send(bytes.first(half), at, true);
            line.Send(bytes.subspan(half), baud, firstEnd + std::chrono::milliseconds(fault.value));
            return;
        }
        case FaultKind::WrongId: {
            const GenCpPacket stray =
                GenCpPacket::Restamped(bytes, answer.FlagsOrStatus(), uint16_t(answer.RequestId() - 1));
            send(stray.Bytes(), at, true);
            break;
        }
        case FaultKind::Truncate:
            send(bytes.first(bytes.size() - std::min<size_t>(fault.value, bytes.size())), at, true);
            return;
        default: break;
    }
    send(bytes, at, true);
}

// Noise never holds a preamble's first byte, so it cannot pass for a packet.
uint8_t GenCpCamera::NoiseByte() {
    uint8_t byte;
    do {
        uint32_t &x = state_.noiseSeed;
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        byte = uint8_t(x >> 24);
    } while (byte == 0x01);
    return byte;
}

std::optional<RegisterAccess> GenCpCamera::Registers::Access(uint32_t address) const {
    switch (address) {
        case bootstrap::kGenCpVersion:
        case bootstrap::kMaximumDeviceResponseTime:
        case bootstrap::kManifestTableAddress:
        case bootstrap::kManifestTableAddress + 4:
        case bootstrap::kTechnologyBootstrapAddress:
        case bootstrap::kTechnologyBootstrapAddress + 4: return RegisterAccess::ReadOnly;
        default: break;
    }
    if (camera.technology_) {
        if (std::optional<RegisterAccess> access = camera.technology_->Access(address)) return access;
    } else if (address == kSupportedBaudRegister) {
        return RegisterAccess::ReadOnly;
    } else if (address == kCurrentBaudRegister) {
        return RegisterAccess::ReadWrite;
    }
    return camera.state_.features.Access(address);
}

// Whether the technology registers hold the address (Access said it is a register).
bool GenCpCamera::Registers::OfTechnology(uint32_t address) const {
    return camera.technology_ && camera.technology_->Access(address);
}

// The 8-byte addresses are two registers, the high word first.
uint32_t GenCpCamera::Registers::Read(uint32_t address) const {
    switch (address) {
        case bootstrap::kGenCpVersion: return gencp::kVersion1_0;
        case bootstrap::kMaximumDeviceResponseTime: return camera.config_.responseTimeMs;
        case bootstrap::kManifestTableAddress + 4: return kGenCpManifestTable;
        case bootstrap::kTechnologyBootstrapAddress + 4: return camera.TechnologyBootstrap();
        case bootstrap::kManifestTableAddress:
        case bootstrap::kTechnologyBootstrapAddress: return 0;
        default: break;
    }
    if (OfTechnology(address)) return camera.technology_->Read(address);
    if (!camera.technology_ && address == kSupportedBaudRegister) return camera.SupportedBaudMask();
    if (!camera.technology_ && address == kCurrentBaudRegister) return protocol::cl::BaudMaskBit(camera.state_.baud);
    return camera.state_.features.Read(address, now);
}

// The current baud register takes one rate the camera supports.
AckCode GenCpCamera::Registers::Validate(uint32_t address, uint32_t value) const {
    if (OfTechnology(address)) return camera.technology_->Validate(address, value);
    if (camera.technology_ || address != kCurrentBaudRegister) return camera.state_.features.Validate(address, value);
    return std::has_single_bit(value) && (value & camera.SupportedBaudMask()) ? AckCode::kSuccess : AckCode::kInvalidData;
}

void GenCpCamera::Registers::Write(uint32_t address, uint32_t value) const {
    if (OfTechnology(address))
        camera.technology_->Write(address, value);
    else if (!camera.technology_ && address == kCurrentBaudRegister)
        camera.switchToBaud_ = protocol::cl::kBaudRates[std::countr_zero(value)];
    else
        camera.state_.features.Write(address, value, now);
}

}  // namespace vexo::sim
