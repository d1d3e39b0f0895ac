#include "camera/CxpCamera.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "camera/CameraMemory.h"
#include "common/WireBytes.h"
#include "protocol/CxpBitRates.h"
#include "protocol/CxpBootstrap.h"

namespace vexo::sim {
namespace {

namespace bootstrap = protocol::cxp::bootstrap;
using protocol::cxp::BitRateOfCode;
using protocol::cxp::CommandCode;
using protocol::cxp::RateCode;

constexpr uint32_t kDescriptionVersion = 0x00010000;  // 1.0.0
constexpr uint32_t kSchemaVersion = 0x00010100;       // 1.1.0
// Code word of a malformed acknowledgment: its bytes disagree, so it is no code at all.
constexpr uint32_t kMalformedCodeWord = 0x00FF00FF;

struct BootstrapSlot {
    uint32_t address;
    RegisterAccess access;
};

constexpr std::array<BootstrapSlot, 14> kBootstrap{{
    {bootstrap::kStandard, RegisterAccess::ReadOnly},
    {bootstrap::kRevision, RegisterAccess::ReadOnly},
    {bootstrap::kXmlManifestSize, RegisterAccess::ReadOnly},
    {bootstrap::kXmlManifestSelector, RegisterAccess::ReadWrite},
    {bootstrap::kXmlVersion, RegisterAccess::ReadOnly},
    {bootstrap::kXmlSchemaVersion, RegisterAccess::ReadOnly},
    {bootstrap::kXmlUrlAddress, RegisterAccess::ReadOnly},
    {bootstrap::kConnectionReset, RegisterAccess::ReadWrite},
    {bootstrap::kDeviceConnectionId, RegisterAccess::ReadOnly},
    {bootstrap::kMasterHostConnectionId, RegisterAccess::ReadWrite},
    {bootstrap::kControlPacketSizeMax, RegisterAccess::ReadOnly},
    {bootstrap::kStreamPacketSizeMax, RegisterAccess::ReadWrite},
    {bootstrap::kConnectionConfig, RegisterAccess::ReadWrite},
    {bootstrap::kConnectionConfigDefault, RegisterAccess::ReadOnly},
}};

bool IsSuccessCodeWord(uint32_t word) {
    return word == CodeWord(AckCode::kSuccess) || word == CodeWord(AckCode::kSuccessCode01) ||
           word == CodeWord(AckCode::kSuccessCode03);
}

void CopyText(const std::string &text, uint8_t *field, size_t size) {
    std::memcpy(field, text.data(), std::min(text.size(), size));
}

}  // namespace

CxpCamera::CxpCamera(const CameraConfig &config, CxpCameraState &state, uint8_t *segment)
    : config_(config), state_(state) {
    const auto area = [segment](const ByteArea &bytes) { return segment + bytes.offset; };
    regions_ = {{
        {bootstrap::kDeviceStringsBegin, uint32_t(sizeof state_.strings), state_.strings, state_.strings,
         bootstrap::kDeviceUserId.address},
        {feature_address::kDeviceFamilyName, kFamilyNameSize, state_.familyName, nullptr, 0},
        {kUrlAddress, kUrlBlockSize, state_.url, nullptr, 0},
        {kDescriptionAddress, state_.description.size, area(state_.description), nullptr, 0},
        {kScratchAddress, state_.scratch.size, area(state_.scratch), area(state_.scratch), kScratchAddress},
    }};
}

uint64_t CxpCamera::AreaBytes(const CameraConfig &config, const DescriptionImage &description) {
    return ((description.bytes.size() + 3) & ~size_t(3)) + config.scratchBytes;
}

// The area is read in whole words: the bytes past the file's end read 0.
void CxpCamera::Install(const CameraConfig &config, const DescriptionImage &description, CxpCameraState &state,
                        uint8_t *segment) {
    FillStrings(config, state);
    std::snprintf(reinterpret_cast<char *>(state.url), sizeof state.url - 1, "Local:%s;%x;%zx",
                  description.fileName.c_str(), kDescriptionAddress, description.bytes.size());
    uint8_t *bytes = segment + state.description.offset;
    std::memcpy(bytes, description.bytes.data(), description.bytes.size());
    std::memset(bytes + description.bytes.size(), 0, state.description.size - description.bytes.size());
    std::memset(segment + state.scratch.offset, 0, state.scratch.size);
    CxpCamera camera(config, state, segment);
    camera.PowerOnState();
}

void CxpCamera::FillStrings(const CameraConfig &config, CxpCameraState &state) {
    const auto fill = [&state](const std::string &text, bootstrap::DeviceString field) {
        CopyText(text, &state.strings[field.address - bootstrap::kDeviceStringsBegin], field.size);
    };
    fill(config.vendor, bootstrap::kDeviceVendorName);
    fill(config.model, bootstrap::kDeviceModelName);
    fill(config.manufacturerInfo, bootstrap::kDeviceManufacturerInfo);
    fill(config.version, bootstrap::kDeviceVersion);
    fill(config.firmwareVersion, bootstrap::kDeviceFirmwareVersion);
    fill(config.serial, bootstrap::kDeviceSerialNumber);
    fill(config.userId, bootstrap::kDeviceUserId);
    CopyText(config.family, state.familyName, sizeof state.familyName);
}

std::optional<uint32_t> CxpCamera::LinkOn(uint32_t physicalPort) const {
    const auto it = std::find(config_.links.begin(), config_.links.end(), physicalPort);
    if (it == config_.links.end()) return std::nullopt;
    return uint32_t(it - config_.links.begin());
}

void CxpCamera::SetRunning(bool running) {
    if (state_.running && !running) PowerOnState();
    state_.running = running;
}

void CxpCamera::ResetConnection() {
    state_.bitRate = config_.discoverySpeed;
    state_.configuredLinks = uint32_t(config_.links.size());
    state_.masterHostId = 0;
}

// The user id lives in flash and survives; everything else starts over.
void CxpCamera::PowerOnState() {
    ResetConnection();
    state_.streamPacketSizeMax = config_.streamPacketSizeMax;
    state_.manifestSelector = 0;
    state_.features.Reset();
}

const CxpCamera::Answer &CxpCamera::Receive(uint32_t link, std::span<const uint32_t> frame, CameraFault &fault,
                                            TrafficCounters &counters, Clock::time_point now) {
    answer_.preliminary.Clear();
    answer_.final.Clear();
    answer_.finalDelayMs = 0;
    const ParsedFrame parsed = ParseCommandFrame(frame);
    // Tags came with CoaXPress 2.0; an older camera cannot read a tagged frame.
    const bool understood = !parsed.command.tag || config_.revision >= protocol::cxp::kRevision2_0;
    if (parsed.verdict == FrameVerdict::Malformed || (parsed.verdict == FrameVerdict::Command && !understood)) {
        ++counters.framingErrors;
        return answer_;
    }
    if (parsed.verdict == FrameVerdict::BadCrc) {
        ++counters.crcErrors;
        return answer_;
    }
    ++counters.commandsReceived;
    const FaultKind kind = fault.TakeOne();
    std::optional<uint32_t> tagWord;
    if (parsed.command.tag) tagWord = TagWord(uint8_t(*parsed.command.tag + (kind == FaultKind::WrongTag ? 1 : 0)));
    answer_.preliminary.Begin(tagWord);
    answer_.final.Begin(tagWord);
    // An error code forced on the camera means the command was refused, so it is not executed.
    if (kind == FaultKind::AckCode && !IsSuccessCodeWord(fault.value))
        answer_.final.Push(fault.value);
    else
        Execute(link, parsed.command, answer_.final, counters, now);
    FinishAnswer(kind, fault.value, tagWord);
    counters.acksSent += uint64_t(!answer_.preliminary.Empty()) + uint64_t(!answer_.final.Empty());
    return answer_;
}

void CxpCamera::FinishAnswer(FaultKind fault, uint32_t faultValue, std::optional<uint32_t> tagWord) {
    AckPacket &final = answer_.final;
    AckPacket &preliminary = answer_.preliminary;
    switch (fault) {
        case FaultKind::NoAck: final.Clear(); return;
        case FaultKind::BadCrcAck: final.Finish(true, true); return;
        case FaultKind::MalformedAck:
            final.Begin(tagWord);
            final.Push(kMalformedCodeWord);
            break;
        case FaultKind::AckCode: final.SetCode(faultValue); break;
        case FaultKind::WaitAck:
            preliminary.Push(CodeWord(AckCode::kWait));
            preliminary.Push(WireWordOf(4));
            preliminary.Push(WireWordOf(faultValue));
            preliminary.Finish(config_.ackCrc);
            answer_.finalDelayMs = faultValue;
            break;
        case FaultKind::TentativeAck:
            preliminary.Push(CodeWord(AckCode::kTentative));
            preliminary.Finish(config_.ackCrc);
            break;
        case FaultKind::DelayAck: answer_.finalDelayMs = faultValue; break;
        case FaultKind::WrongTag:
        case FaultKind::None: break;
        default: break;  // the serial camera's faults never reach a CoaXPress camera
    }
    final.Finish(config_.ackCrc);
}

void CxpCamera::Execute(uint32_t link, const Command &command, AckPacket &ack, TrafficCounters &counters,
                        Clock::time_point now) {
    const auto answerWith = [&ack](AckCode code) { ack.Push(CodeWord(code)); };
    const bool write = command.opcode == uint8_t(CommandCode::kWrite);
    if (!write && command.opcode != uint8_t(CommandCode::kRead)) return answerWith(AckCode::kInvalidOpcode);
    const uint32_t dataWords = uint32_t(command.data.size());
    if (command.size == 0 || (write && (command.size > 4 * dataWords || command.size + 4 <= 4 * dataWords)))
        return answerWith(AckCode::kIncorrectSize);
    if (command.size > MaxDataBytes(command.tag.has_value())) return answerWith(AckCode::kSizeTooLarge);

    if (write) {
        for (uint32_t i = 0; i < dataWords; ++i) WireBytesOf(command.data[i], &scratch_[4 * i]);
        const AckCode code = WriteBytes(link, command.address, scratch_.data(), command.size, now);
        if (code == AckCode::kSuccess) counters.bytesWritten += command.size;
        return answerWith(code);
    }
    const uint32_t words = (command.size + 3) / 4;
    std::fill_n(scratch_.begin(), 4 * words, uint8_t(0));
    const AckCode code = ReadBytes(link, command.address, command.size, scratch_.data(), now);
    if (code != AckCode::kSuccess) return answerWith(code);
    counters.bytesRead += command.size;
    ack.Push(CodeWord(AckCode::kSuccess));
    ack.Push(WireWordOf(command.size));
    for (uint32_t i = 0; i < words; ++i) ack.Push(PacketWord(&scratch_[4 * i]));
}

AckCode CxpCamera::ReadBytes(uint32_t link, uint32_t address, uint32_t size, uint8_t *out, Clock::time_point now) {
    return ReadMemory(regions_, LinkRegisters{*this, link, now}, address, size, out);
}

AckCode CxpCamera::WriteBytes(uint32_t link, uint32_t address, const uint8_t *data, uint32_t size, Clock::time_point now) {
    LinkRegisters registers{*this, link, now};
    return WriteMemory(regions_, registers, address, data, size);
}

std::optional<RegisterAccess> CxpCamera::RegisterAccessAt(uint32_t link, uint32_t address) const {
    for (const BootstrapSlot &slot : kBootstrap) {
        if (slot.address != address) continue;
        // Only the master connection sets the host id; the others report it.
        if (address == bootstrap::kMasterHostConnectionId && link != 0) return RegisterAccess::ReadOnly;
        return slot.access;
    }
    return state_.features.Access(address);
}

uint32_t CxpCamera::ReadRegister(uint32_t link, uint32_t address, Clock::time_point now) const {
    switch (address) {
        case bootstrap::kStandard: return protocol::cxp::kStandardMagic;
        case bootstrap::kRevision: return config_.revision;
        case bootstrap::kXmlManifestSize: return 1;
        case bootstrap::kXmlManifestSelector: return state_.manifestSelector;
        case bootstrap::kXmlVersion: return kDescriptionVersion;
        case bootstrap::kXmlSchemaVersion: return kSchemaVersion;
        case bootstrap::kXmlUrlAddress: return kUrlAddress;
        case bootstrap::kConnectionReset: return 0;
        case bootstrap::kDeviceConnectionId: return link;
        case bootstrap::kMasterHostConnectionId: return state_.masterHostId;
        case bootstrap::kControlPacketSizeMax: return config_.controlPacketSize;
        case bootstrap::kStreamPacketSizeMax: return state_.streamPacketSizeMax;
        case bootstrap::kConnectionConfig: return state_.configuredLinks << 16 | RateCode(state_.bitRate);
        case bootstrap::kConnectionConfigDefault: return config_.defaultLinks << 16 | RateCode(config_.defaultSpeed);
        default: return state_.features.Read(address, now);
    }
}

AckCode CxpCamera::ValidateRegister(uint32_t address, uint32_t value) const {
    const auto check = [](bool valid) { return valid ? AckCode::kSuccess : AckCode::kInvalidData; };
    switch (address) {
        case bootstrap::kXmlManifestSelector: return check(value == 0);
        case bootstrap::kConnectionReset: return check(value <= 1);
        case bootstrap::kMasterHostConnectionId: return AckCode::kSuccess;
        case bootstrap::kStreamPacketSizeMax: return check(value >= 4 && value % 4 == 0);
        case bootstrap::kConnectionConfig: {
            const uint32_t links = value >> 16, rate = BitRateOfCode(value & 0xFFFF);
            const bool supported = std::find(config_.speeds.begin(), config_.speeds.end(), rate) != config_.speeds.end();
            return check(links >= 1 && links <= config_.links.size() && supported);
        }
        default: return state_.features.Validate(address, value);
    }
}

void CxpCamera::WriteRegister(uint32_t address, uint32_t value, Clock::time_point now) {
    switch (address) {
        case bootstrap::kXmlManifestSelector: state_.manifestSelector = value; break;
        case bootstrap::kConnectionReset:
            if (value == 1) ResetConnection();
            break;
        case bootstrap::kMasterHostConnectionId: state_.masterHostId = value; break;
        // A camera cannot send packets larger than it is built for.
        case bootstrap::kStreamPacketSizeMax: state_.streamPacketSizeMax = std::min(value, config_.streamPacketSizeMax); break;
        case bootstrap::kConnectionConfig:
            state_.configuredLinks = value >> 16;
            state_.bitRate = BitRateOfCode(value & 0xFFFF);
            break;
        default: state_.features.Write(address, value, now); break;
    }
}

}  // namespace vexo::sim
