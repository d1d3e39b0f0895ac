#include "camera/ClhsFault.h"

#include <array>
#include <cstdio>

#include "camera/CameraFault.h"

namespace vexo::sim {
namespace {

enum class Value { None, Milliseconds, Status, Count };

struct FaultName {
    std::string_view name;
    ClhsFaultKind kind;
    Value value;
};

constexpr std::array<FaultName, 9> kFaultNames{{
    {"no_ack", ClhsFaultKind::NoAck, Value::None},
    {"pending_ack", ClhsFaultKind::PendingAck, Value::Milliseconds},
    {"status", ClhsFaultKind::Status, Value::Status},
    {"tx_busy", ClhsFaultKind::TxBusy, Value::Milliseconds},
    {"tx_full", ClhsFaultKind::TxFull, Value::None},
    {"send_fail", ClhsFaultKind::SendFail, Value::None},
    {"rx_fail", ClhsFaultKind::RxFail, Value::None},
    {"reject_device_id", ClhsFaultKind::RejectDeviceId, Value::None},
    {"mdio_error", ClhsFaultKind::MdioError, Value::Count},
}};

// A pending acknowledge carries its time in 16 bits.
constexpr uint32_t kMaxMilliseconds = 60000;
constexpr uint32_t kMaxMdioCommands = 1000000;

std::optional<uint32_t> ParseValue(Value kind, std::string_view text) {
    const std::optional<uint32_t> value = ParseFaultNumber(text, kind == Value::Status ? 16 : 10);
    const uint32_t max = kind == Value::Status ? 0xFFFF : kind == Value::Count ? kMaxMdioCommands : kMaxMilliseconds;
    if (!value || *value > max || (kind == Value::Count && *value == 0)) return std::nullopt;
    return value;
}

}  // namespace

std::optional<ClhsFault> ParseClhsFault(std::string_view text, uint32_t count) {
    const size_t colon = text.find(':');
    const std::string_view name = text.substr(0, colon);
    for (const FaultName &fault : kFaultNames) {
        if (fault.name != name) continue;
        if ((fault.value != Value::None) != (colon != std::string_view::npos)) return std::nullopt;
        ClhsFault parsed{fault.kind, 0, count};
        if (fault.value == Value::None) return parsed;
        const std::optional<uint32_t> value = ParseValue(fault.value, text.substr(colon + 1));
        if (!value) return std::nullopt;
        parsed.value = *value;
        if (fault.value == Value::Count && count != 0) parsed.remaining = *value;
        return parsed;
    }
    return std::nullopt;
}

std::string DescribeClhsFault(const ClhsFault &fault) {
    if (fault.remaining == 0 || fault.kind == ClhsFaultKind::None) return "none";
    for (const FaultName &name : kFaultNames) {
        if (name.kind != fault.kind) continue;
        std::string text(name.name);
        if (name.value == Value::Status) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "%x", fault.value);
            text += std::string(":") + hex;
        } else if (name.value != Value::None) {
            text += ":" + std::to_string(fault.value);
        }
        return text + " x" + std::to_string(fault.remaining);
    }
    return "none";
}

}  // namespace vexo::sim
