#include "camera/CameraFault.h"

#include <array>
#include <charconv>
#include <cstdio>

#include "camera/ControlPacket.h"

namespace vexo::sim {
namespace {

struct FaultName {
    std::string_view name;
    FaultKind kind;
    bool takesValue;
};

constexpr std::array<FaultName, 15> kFaultNames{{
    {"no_ack", FaultKind::NoAck, false},
    {"wait_ack", FaultKind::WaitAck, true},
    {"tentative_ack", FaultKind::TentativeAck, false},
    {"malformed_ack", FaultKind::MalformedAck, false},
    {"bad_crc_ack", FaultKind::BadCrcAck, false},
    {"ack_code", FaultKind::AckCode, true},
    {"delay_ack", FaultKind::DelayAck, true},
    {"wrong_tag", FaultKind::WrongTag, false},
    {"pending_ack", FaultKind::PendingAck, true},
    {"busy_echo", FaultKind::BusyEcho, true},
    {"status", FaultKind::Status, true},
    {"garbage", FaultKind::Garbage, true},
    {"split", FaultKind::Split, true},
    {"wrong_id", FaultKind::WrongId, false},
    {"truncate", FaultKind::Truncate, true},
}};

// The bounds of a value that counts bytes or is a status.
struct ValueRange {
    FaultKind kind;
    uint32_t min, max;
};
constexpr std::array<ValueRange, 3> kCountedValues{{
    {FaultKind::Garbage, 1, kMaxGarbageBytes},
    {FaultKind::Truncate, 1, 512},
    {FaultKind::Status, 0, 0xFFFF},
}};

std::optional<uint32_t> ParseValue(FaultKind kind, std::string_view text) {
    if (kind == FaultKind::AckCode) {
        const std::optional<uint32_t> code = ParseFaultNumber(text, 16);
        if (!code) return std::nullopt;
        return *code <= 0xFF ? ReplicatedCode(uint8_t(*code)) : *code;
    }
    for (const ValueRange &range : kCountedValues) {
        if (range.kind != kind) continue;
        const std::optional<uint32_t> value = ParseFaultNumber(text, kind == FaultKind::Status ? 16 : 10);
        if (!value || *value < range.min || *value > range.max) return std::nullopt;
        return value;
    }
    const std::optional<uint32_t> ms = ParseFaultNumber(text, 10);
    if (!ms || *ms > kMaxFaultDelayMs) return std::nullopt;
    return ms;
}

std::string HexText(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", value);
    return text;
}

}  // namespace

std::optional<uint32_t> ParseFaultNumber(std::string_view text, int base) {
    if (base == 16 && (text.starts_with("0x") || text.starts_with("0X"))) text.remove_prefix(2);
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<CameraFault> ParseCameraFault(std::string_view text, uint32_t count) {
    const size_t colon = text.find(':');
    const std::string_view name = text.substr(0, colon);
    for (const FaultName &fault : kFaultNames) {
        if (fault.name != name) continue;
        if (fault.takesValue != (colon != std::string_view::npos)) return std::nullopt;
        CameraFault parsed{fault.kind, 0, count};
        if (fault.takesValue) {
            const std::optional<uint32_t> value = ParseValue(fault.kind, text.substr(colon + 1));
            if (!value) return std::nullopt;
            parsed.value = *value;
        }
        return parsed;
    }
    return std::nullopt;
}

// "none" when no command is left to fault.
std::string DescribeCameraFault(const CameraFault &fault) {
    if (fault.remaining == 0 || fault.kind == FaultKind::None) return "none";
    for (const FaultName &name : kFaultNames) {
        if (name.kind != fault.kind) continue;
        std::string text(name.name);
        if (name.takesValue) text += ":" + (fault.kind == FaultKind::AckCode || fault.kind == FaultKind::Status ? HexText(fault.value) : std::to_string(fault.value));
        return text + " x" + std::to_string(fault.remaining);
    }
    return "none";
}

}  // namespace vexo::sim
