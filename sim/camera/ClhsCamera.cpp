#include "camera/ClhsCamera.h"

#include <algorithm>

#include "common/WireBytes.h"
#include "protocol/ClhsRegisters.h"

namespace vexo::sim {
namespace {

namespace reg = protocol::clhs::camera;
using protocol::gencp::CommandId;
using protocol::gencp::Status;

constexpr uint32_t kReadScdBytes = 12;  // address, reserved, count
constexpr uint32_t kAddressBytes = 8;

uint16_t Get16(const uint8_t *bytes) { return uint16_t(bytes[0] << 8 | bytes[1]); }
uint64_t Get64(const uint8_t *bytes) { return uint64_t(BigEndianValue(bytes)) << 32 | BigEndianValue(bytes + 4); }
void Put16(uint16_t value, uint8_t *bytes) {
    bytes[0] = uint8_t(value >> 8);
    bytes[1] = uint8_t(value);
}

// The command descriptor of a GenCP packet.
struct Descriptor {
    uint16_t flagsOrStatus, id, length, requestId;
};

Descriptor ReadDescriptor(std::span<const uint8_t> bytes) {
    return {Get16(&bytes[0]), Get16(&bytes[2]), Get16(&bytes[4]), Get16(&bytes[6])};
}

// An acknowledge of `scdBytes` (already in place after the descriptor).
uint32_t Seal(uint8_t *ack, Status status, uint16_t id, uint16_t requestId, uint32_t scdBytes) {
    Put16(uint16_t(status), ack);
    Put16(id, ack + 2);
    Put16(uint16_t(scdBytes), ack + 4);
    Put16(requestId, ack + 6);
    return 8 + scdBytes;
}

// A write acknowledge: reserved, then the bytes written.
uint32_t SealWrite(uint8_t *ack, Status status, uint16_t requestId, uint16_t written) {
    Put16(0, ack + 8);
    Put16(written, ack + 10);
    return Seal(ack, status, uint16_t(CommandId::kWriteMemAck), requestId, 4);
}

// The answer to a command refused with `status`: no data.
uint32_t Refuse(uint8_t *ack, const Descriptor &command, Status status) {
    if (command.id == uint16_t(CommandId::kWriteMem)) return SealWrite(ack, status, command.requestId, 0);
    return Seal(ack, status, uint16_t(command.id + 1), command.requestId, 0);
}

// Whether a command writes the device id register.
bool WritesDeviceId(const Descriptor &command, std::span<const uint8_t> scd) {
    if (command.id != uint16_t(CommandId::kWriteMem) || scd.size() < kAddressBytes) return false;
    const uint64_t address = Get64(scd.data()), end = address + (scd.size() - kAddressBytes);
    return address < reg::kDeviceId + 4 && end > reg::kDeviceId;
}

}  // namespace

bool ClhsCamera::LinkUp(uint32_t link, Clock::time_point now) const {
    if (now >= state_.linksDownFrom && now < state_.linksBackAt) return false;
    const uint32_t configuration = now < state_.linksDownFrom ? state_.previousConfiguration : state_.configuration;
    return link < Links(configuration);
}

void ClhsCamera::StartHotplug(Clock::time_point from) {
    state_.previousConfiguration = state_.configuration;
    state_.configuration = state_.selectedConfiguration;
    state_.linksDownFrom = from;
    state_.linksBackAt = from + std::chrono::milliseconds(config_.reconnectTimeMs);
}

const ClhsCamera::Answer &ClhsCamera::Receive(const Command &command, ClhsFault &fault, TrafficCounters &counters) {
    answer_.preliminary.size = answer_.final.size = 0;
    answer_.finalDelay = {};
    answer_.hotplug = hotplugRequested_ = false;
    if (command.bytes.size() < 8) return answer_;
    ++counters.commandsReceived;
    const Descriptor descriptor = ReadDescriptor(command.bytes);
    const std::span<const uint8_t> scd = command.bytes.subspan(8);
    if (fault.Take(ClhsFaultKind::Status)) {
        answer_.final.size = Refuse(answer_.final.bytes, descriptor, Status(fault.value));
    } else if (WritesDeviceId(descriptor, scd) && fault.Take(ClhsFaultKind::RejectDeviceId)) {
        answer_.final.size = Refuse(answer_.final.bytes, descriptor, Status::kAccessDenied);
    } else {
        answer_.final.size = Respond(command, answer_.final.bytes, counters);
        answer_.hotplug = hotplugRequested_;
        if (fault.Take(ClhsFaultKind::NoAck)) answer_.final.size = 0;
        if (fault.Take(ClhsFaultKind::PendingAck)) {
            uint8_t *pending = answer_.preliminary.bytes;
            Put16(0, pending + 8);
            Put16(uint16_t(fault.value), pending + 10);
            answer_.preliminary.size =
                Seal(pending, Status::kSuccess, uint16_t(CommandId::kPendingAck), descriptor.requestId, 4);
            answer_.finalDelay = std::chrono::milliseconds(fault.value) / 2;
        }
    }
    counters.acksSent += uint64_t(answer_.preliminary.size != 0) + uint64_t(answer_.final.size != 0);
    return answer_;
}

uint32_t ClhsCamera::Respond(const Command &command, std::span<uint8_t, kMaxAcknowledgeBytes> acknowledge,
                             TrafficCounters &counters) {
    if (command.bytes.size() < 8) return 0;
    const Descriptor descriptor = ReadDescriptor(command.bytes);
    const std::span<const uint8_t> scd = command.bytes.subspan(8, std::min<size_t>(descriptor.length, command.bytes.size() - 8));
    uint8_t *ack = acknowledge.data();
    if (descriptor.id == uint16_t(CommandId::kReadMem)) {
        if (scd.size() != kReadScdBytes) return Refuse(ack, descriptor, Status::kInvalidParameter);
        const uint32_t count = Get16(&scd[10]);
        if (count > protocol::gencp::kMaxReadBytes) return Refuse(ack, descriptor, Status::kInvalidParameter);
        const Status status = ReadMemory(Get64(scd.data()), count, command.link, ack + 8);
        if (status != Status::kSuccess) return Refuse(ack, descriptor, status);
        counters.bytesRead += count;
        return Seal(ack, status, uint16_t(CommandId::kReadMemAck), descriptor.requestId, count);
    }
    if (descriptor.id == uint16_t(CommandId::kWriteMem)) {
        if (scd.size() < kAddressBytes || scd.size() - kAddressBytes > protocol::gencp::kMaxWriteBytes)
            return Refuse(ack, descriptor, Status::kInvalidParameter);
        const std::span<const uint8_t> data = scd.subspan(kAddressBytes);
        const Status status = WriteMemory(Get64(scd.data()), data);
        if (status != Status::kSuccess) return Refuse(ack, descriptor, status);
        counters.bytesWritten += data.size();
        return SealWrite(ack, status, descriptor.requestId, uint16_t(data.size()));
    }
    return Refuse(ack, descriptor, Status::kNotImplemented);
}

Status ClhsCamera::ReadMemory(uint64_t address, uint32_t size, uint32_t link, uint8_t *out) const {
    for (uint32_t done = 0; done < size;) {
        const uint64_t at = address + done, base = at & ~uint64_t(3);
        if (base > 0xFFFFFFFFu || !AccessAt(uint32_t(base))) return Status::kInvalidAddress;
        uint8_t value[4];
        BigEndianBytes(ReadRegister(uint32_t(base), link), value);
        const uint32_t offset = uint32_t(at - base), count = std::min(4 - offset, size - done);
        std::copy_n(value + offset, count, out + done);
        done += count;
    }
    return Status::kSuccess;
}

// Registers are written whole; the write is checked whole first, so a
// refused write changes nothing.
Status ClhsCamera::WriteMemory(uint64_t address, std::span<const uint8_t> data) {
    if (address % 4 != 0 || data.size() % 4 != 0) return Status::kBadAlignment;
    for (const bool apply : {false, true})
        for (uint32_t done = 0; done < data.size(); done += 4) {
            const uint64_t at = address + done;
            const std::optional<Access> access = at <= 0xFFFFFFFFu ? AccessAt(uint32_t(at)) : std::nullopt;
            if (!access) return Status::kInvalidAddress;
            if (*access == Access::ReadOnly) return Status::kWriteProtect;
            const uint32_t value = BigEndianValue(&data[done]);
            if (apply) {
                WriteRegister(uint32_t(at), value);
                continue;
            }
            const Status status = ValidateRegister(uint32_t(at), value);
            if (status != Status::kSuccess) return status;
        }
    return Status::kSuccess;
}

std::optional<ClhsCamera::Access> ClhsCamera::AccessAt(uint32_t address) const {
    switch (address) {
        case protocol::gencp::bootstrap::kGenCpVersion:
        case reg::kLinkId:
        case reg::kNumberOfLinks:
        case reg::kNumberOfConfigurations:
        case reg::kReconnectTime:
        case reg::kLinkSpeed: return Access::ReadOnly;
        case reg::kDeviceId:
        case reg::kDeviceConfigurationIndex:
        case reg::kHotplugRequest:
        case reg::kFecEnable: return Access::ReadWrite;
        default: break;
    }
    const uint64_t tableEnd = reg::kConfigurations + uint64_t(reg::kConfigurationStride) * config_.configurations.size();
    if (address >= reg::kConfigurations && address < tableEnd) return Access::ReadOnly;
    return std::nullopt;
}

uint32_t ClhsCamera::ReadRegister(uint32_t address, uint32_t link) const {
    switch (address) {
        case protocol::gencp::bootstrap::kGenCpVersion: return protocol::gencp::kVersion1_0;
        case reg::kDeviceId: return state_.deviceId;
        case reg::kLinkId: return link;
        case reg::kNumberOfLinks: return LinkCount();
        case reg::kDeviceConfigurationIndex: return state_.selectedConfiguration;
        case reg::kNumberOfConfigurations: return uint32_t(config_.configurations.size());
        case reg::kHotplugRequest: return 0;
        case reg::kReconnectTime: return config_.reconnectTimeMs;
        case reg::kFecEnable: return state_.fecEnable;
        case reg::kLinkSpeed: return LinkSpeed();
        default: break;
    }
    const uint32_t offset = address - reg::kConfigurations;
    const ClhsConfiguration &entry = config_.configurations[offset / reg::kConfigurationStride];
    return offset % reg::kConfigurationStride == 0 ? entry.links : entry.mbps;
}

Status ClhsCamera::ValidateRegister(uint32_t address, uint32_t value) const {
    const auto check = [](bool valid) { return valid ? Status::kSuccess : Status::kInvalidParameter; };
    switch (address) {
        case reg::kDeviceConfigurationIndex: return check(value < config_.configurations.size());
        case reg::kHotplugRequest:
        case reg::kFecEnable: return check(value <= 1);
        default: return Status::kSuccess;
    }
}

void ClhsCamera::WriteRegister(uint32_t address, uint32_t value) {
    switch (address) {
        case reg::kDeviceId: state_.deviceId = value; break;
        case reg::kDeviceConfigurationIndex: state_.selectedConfiguration = value; break;
        case reg::kHotplugRequest: hotplugRequested_ = hotplugRequested_ || value == 1; break;
        case reg::kFecEnable: state_.fecEnable = value; break;
        default: break;
    }
}

}  // namespace vexo::sim
