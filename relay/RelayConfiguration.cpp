#include "RelayConfiguration.h"

#include <charconv>

namespace vexo::relay {

namespace {

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool ParseLevel(std::string_view text, uint32_t &level) {
    text = Trim(text);
    uint32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || value > RelayConfiguration::kSilent)
        return false;
    level = value;
    return true;
}

}  // namespace

RelayConfiguration RelayConfiguration::Parse(std::string_view text) {
    RelayConfiguration configuration;
    while (!text.empty()) {
        const size_t comma = text.find(',');
        const std::string_view item = Trim(text.substr(0, comma));
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        if (item.empty()) continue;
        const size_t equals = item.find('=');
        uint32_t level = kSilent;
        if (equals == std::string_view::npos) {
            if (ParseLevel(item, level)) configuration.defaultThreshold = level;
            else configuration.rejectedItems.emplace_back(item);
            continue;
        }
        const std::string_view prefix = Trim(item.substr(0, equals));
        if (!prefix.empty() && ParseLevel(item.substr(equals + 1), level))
            configuration.prefixThresholds.emplace_back(std::string(prefix), level);
        else
            configuration.rejectedItems.emplace_back(item);
    }
    return configuration;
}

uint32_t RelayConfiguration::ThresholdFor(std::string_view loggerName) const {
    uint32_t threshold = defaultThreshold;
    size_t longest = 0;
    for (const auto &[prefix, level] : prefixThresholds) {
        if (prefix.size() >= longest && loggerName.substr(0, prefix.size()) == prefix) {
            longest = prefix.size();
            threshold = level;
        }
    }
    return threshold;
}

}  // namespace vexo::relay
