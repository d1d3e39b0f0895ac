#include "camera/ClhsCamera.h"

#include "protocol/ClhsRegisters.h"

namespace vexo::sim {
namespace {

namespace reg = protocol::clhs::camera;
using protocol::gencp::CommandId;
using protocol::gencp::Status;

// Whether a command writes the device id register.
bool WritesDeviceId(const GenCpHeader &command, std::span<const uint8_t> scd) {
    constexpr uint32_t kAddressBytes = protocol::gencp::kWriteCommandAddressBytes;
    if (command.commandId != uint16_t(CommandId::kWriteMem) || scd.size() < kAddressBytes) return false;
    const uint64_t address = BigEndian64(scd.data()), end = address + (scd.size() - kAddressBytes);
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
    answer_ = Answer{};
    hotplugRequested_ = false;
    if (command.bytes.size() < kGenCpDescriptorBytes) return answer_;
    ++counters.commandsReceived;
    const GenCpHeader header = ReadGenCpDescriptor(command.bytes);
    const std::span<const uint8_t> scd = command.bytes.subspan(kGenCpDescriptorBytes);
    if (fault.Take(ClhsFaultKind::Status)) {
        answer_.final = GenCpRefusal(header, uint16_t(fault.value));
    } else if (WritesDeviceId(header, scd) && fault.Take(ClhsFaultKind::RejectDeviceId)) {
        answer_.final = GenCpRefusal(header, uint16_t(Status::kAccessDenied));
    } else {
        commandLink_ = command.link;
        answer_.final = gencp_.Answer(header, scd, counters, command.now);
        answer_.hotplug = hotplugRequested_;
        if (fault.Take(ClhsFaultKind::NoAck)) answer_.final = GenCpPacket();
        if (fault.Take(ClhsFaultKind::PendingAck)) {
            answer_.preliminary = GenCpPendingAck(header.requestId, uint16_t(fault.value));
            answer_.finalDelay = std::chrono::milliseconds(fault.value) / 2;
        }
    }
    counters.acksSent += uint64_t(!answer_.preliminary.Empty()) + uint64_t(!answer_.final.Empty());
    return answer_;
}

// The technology registers begin with the device id.
uint32_t ClhsCamera::Bootstrap() const { return reg::kDeviceId; }

std::optional<RegisterAccess> ClhsCamera::Access(uint32_t address) const {
    switch (address) {
        case reg::kLinkId:
        case reg::kNumberOfLinks:
        case reg::kNumberOfConfigurations:
        case reg::kReconnectTime:
        case reg::kLinkSpeed: return RegisterAccess::ReadOnly;
        case reg::kDeviceId:
        case reg::kDeviceConfigurationIndex:
        case reg::kHotplugRequest:
        case reg::kFecEnable: return RegisterAccess::ReadWrite;
        default: break;
    }
    const uint64_t tableEnd = reg::kConfigurations + uint64_t(reg::kConfigurationStride) * config_.configurations.size();
    if (address >= reg::kConfigurations && address < tableEnd && address % 4 == 0) return RegisterAccess::ReadOnly;
    return std::nullopt;
}

uint32_t ClhsCamera::Read(uint32_t address) const {
    switch (address) {
        case reg::kDeviceId: return state_.deviceId;
        case reg::kLinkId: return commandLink_;
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

AckCode ClhsCamera::Validate(uint32_t address, uint32_t value) const {
    const auto check = [](bool valid) { return valid ? AckCode::kSuccess : AckCode::kInvalidData; };
    switch (address) {
        case reg::kDeviceConfigurationIndex: return check(value < config_.configurations.size());
        case reg::kHotplugRequest:
        case reg::kFecEnable: return check(value <= 1);
        default: return AckCode::kSuccess;
    }
}

void ClhsCamera::Write(uint32_t address, uint32_t value) {
    switch (address) {
        case reg::kDeviceId: state_.deviceId = value; break;
        case reg::kDeviceConfigurationIndex: state_.selectedConfiguration = value; break;
        case reg::kHotplugRequest: hotplugRequested_ = hotplugRequested_ || value == 1; break;
        case reg::kFecEnable: state_.fecEnable = value; break;
        default: break;
    }
}

}  // namespace vexo::sim
