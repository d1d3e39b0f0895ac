#include "ValueText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace noxcam {

std::optional<uint64_t> ParseUnsigned(const std::string &text) {
    int base = 10;
    size_t start = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        start = 2;
    }
    uint64_t value = 0;
    const char *first = text.data() + start, *last = text.data() + text.size();
    if (first == last) return std::nullopt;
    const auto [end, error] = std::from_chars(first, last, value, base);
    if (error != std::errc() || end != last) return std::nullopt;
    return value;
}

std::optional<int64_t> ParseInteger(const std::string &text) {
    const bool negative = !text.empty() && text[0] == '-';
    const std::optional<uint64_t> magnitude = ParseUnsigned(negative ? text.substr(1) : text);
    if (!magnitude) return std::nullopt;
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    if (*magnitude > limit) return std::nullopt;
    return negative ? static_cast<int64_t>(0 - *magnitude) : static_cast<int64_t>(*magnitude);
}

std::optional<double> ParseFloat(const std::string &text) {
    double value = 0;
    const char *first = text.data(), *last = text.data() + text.size();
    if (first == last) return std::nullopt;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<bool> ParseBoolean(const std::string &text) {
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (lower == "true" || lower == "1" || lower == "on") return true;
    if (lower == "false" || lower == "0" || lower == "off") return false;
    return std::nullopt;
}

std::optional<Assignment> ParseAssignment(const std::string &text) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0) return std::nullopt;
    return Assignment{text.substr(0, equals), text.substr(equals + 1)};
}

std::string FloatText(double value) {
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    if (error != std::errc()) return "nan";
    std::string shown(text, end);
    // A float looks like one wherever it is shown, in text as in JSON: 10000.0, not 10000.
    if (std::isfinite(value) && shown.find_first_of(".e") == std::string::npos) shown += ".0";
    return shown;
}

}  // namespace noxcam
