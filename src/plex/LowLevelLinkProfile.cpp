#include "plex/LowLevelLinkProfile.h"

#include <bitset>
#include <charconv>

namespace vexo::core::plex {

namespace {

std::string_view Trim(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n\v\f";
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

template <class Number>
std::optional<Number> ParseNumber(std::string_view text, int base) {
    Number value = 0;
    const char *end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
    return value;
}

std::optional<uint64_t> ParseSelect(std::string_view text) {
    text = Trim(text);
    if (StartsWith(text, "0x") || StartsWith(text, "0X")) text.remove_prefix(2);
    return ParseNumber<uint64_t>(text, 16);
}

// "<p>=<rest>" after a prefix: the port index (0..3) and the rest.
struct IndexedLine {
    uint32_t port;
    std::string_view value;
};
std::optional<IndexedLine> SplitIndexed(std::string_view text) {
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const std::optional<uint32_t> port = ParseNumber<uint32_t>(Trim(text.substr(0, equals)), 10);
    if (!port || *port >= LowLevelLinkProfile::kPorts) return std::nullopt;
    return IndexedLine{*port, Trim(text.substr(equals + 1))};
}

}  // namespace

void LowLevelLinkProfile::Write(std::ostream &out) const {
    out << "# low level link profile v1.0\n";
    out << "mux=0x" << std::hex << select << std::dec << '\n';
    for (uint32_t port = 0; port < kPorts; ++port)
        out << "ap_" << port << '=' << apMasterId[port] << ',' << apExtensionId[port] << '\n';
    for (uint32_t port = 0; port < kPorts; ++port) out << "speed_" << port << '=' << speed[port] << '\n';
}

std::optional<LowLevelLinkProfile> LowLevelLinkProfile::Parse(std::string_view text) {
    LowLevelLinkProfile profile;
    bool haveSelect = false;
    std::bitset<kPorts> haveAp, haveSpeed;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line.front() == '#') continue;
        if (StartsWith(line, "mux=")) {
            const std::optional<uint64_t> select = ParseSelect(line.substr(4));
            if (!select) return std::nullopt;
            profile.select = *select;
            haveSelect = true;
        } else if (StartsWith(line, "ap_")) {
            const std::optional<IndexedLine> entry = SplitIndexed(line.substr(3));
            if (!entry) return std::nullopt;
            const size_t comma = entry->value.find(',');
            if (comma == std::string_view::npos) return std::nullopt;
            const auto master = ParseNumber<uint32_t>(Trim(entry->value.substr(0, comma)), 10);
            const auto extension = ParseNumber<uint32_t>(Trim(entry->value.substr(comma + 1)), 10);
            if (!master || !extension) return std::nullopt;
            profile.apMasterId[entry->port] = *master;
            profile.apExtensionId[entry->port] = *extension;
            haveAp.set(entry->port);
        } else if (StartsWith(line, "speed_")) {
            const std::optional<IndexedLine> entry = SplitIndexed(line.substr(6));
            if (!entry) return std::nullopt;
            const auto speed = ParseNumber<uint32_t>(entry->value, 10);
            if (!speed) return std::nullopt;
            profile.speed[entry->port] = *speed;
            haveSpeed.set(entry->port);
        }
    }
    if (!haveSelect || !haveAp.all() || !haveSpeed.all()) return std::nullopt;
    return profile;
}

}  // namespace vexo::core::plex
