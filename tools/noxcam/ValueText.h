#pragma once
// Values given on the command line, parsed whole: no trailing characters, no overflow.
#include <cstdint>
#include <optional>
#include <string>

namespace noxcam {

// Decimal, or hexadecimal with 0x; an optional leading minus for the signed form.
std::optional<int64_t> ParseInteger(const std::string &text);
std::optional<uint64_t> ParseUnsigned(const std::string &text);
// A finite number.
std::optional<double> ParseFloat(const std::string &text);
// true/false, 1/0, on/off (any case).
std::optional<bool> ParseBoolean(const std::string &text);

// "Name=Value" split at the first '='; empty when there is no '=' or no name.
struct Assignment {
    std::string name, value;
};
std::optional<Assignment> ParseAssignment(const std::string &text);

// Shortest text that reads back as the same double, with a decimal point or exponent always ("10000.0").
std::string FloatText(double value);

}  // namespace noxcam
