#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vexo::relay {

// Thresholds from VEXO_LOG: "<level>" and/or "<logger-name-prefix>=<level>"
// items separated by commas. A record passes when its level is at least the
// threshold; 7 passes nothing.
struct RelayConfiguration {
    static constexpr uint32_t kSilent = 7;

    uint32_t defaultThreshold = kSilent;
    std::vector<std::pair<std::string, uint32_t>> prefixThresholds;
    std::vector<std::string> rejectedItems;  // items that did not parse

    static RelayConfiguration Parse(std::string_view text);
    // The threshold of the longest matching prefix, else the default.
    uint32_t ThresholdFor(std::string_view loggerName) const;
};

}  // namespace vexo::relay
