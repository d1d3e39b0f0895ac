#pragma once
#include <cstddef>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "genapi/INodeMap.h"

namespace vexo::genicam {

// One assignment of a parameter file: "name=value", blanks around both dropped.
struct ParameterLine {
    std::string name;
    std::string value;

    // Pure. Nothing for an empty line, a comment (first non-blank character
    // "#") and a line without "="; the line is split at its first "=". A
    // trailing carriage return is ignored.
    static std::optional<ParameterLine> Parse(std::string_view line);
};

// Applies a parameter file (see ParameterDump) to a camera's node map, line by
// line, in file order, so that selector lines take effect before the lines
// they select. Lines longer than kMaxLineLength are refused without being
// held in memory.
class ParameterLoader {
public:
    static constexpr size_t kMaxLineLength = 64 * 1024;
    // Failure texts kept for the caller's log; further failures are only counted.
    static constexpr size_t kMaxReportedFailures = 100;

    // One line that could not be applied.
    struct Failure {
        uint32_t line = 0;    // from 1
        std::string feature;  // "" when the line could not be read
        std::string reason;
        std::string Text() const { return "line " + std::to_string(line) + ": " + reason; }
    };

    struct Result {
        uint32_t applied = 0;
        uint32_t failed = 0;
        bool stopped = false;           // stopped at the first failure, as asked
        std::vector<Failure> failures;  // the first kMaxReportedFailures
    };

    explicit ParameterLoader(GenApi::INodeMap &nodeMap) : nodeMap_(nodeMap) {}

    Result Load(std::istream &in, bool stopAtFirstFailure);

    // Sets the feature from its value text by its kind: integer (decimal),
    // float, boolean (0 or 1), string (between double quotes), enumeration
    // (entry name). A command line is accepted but not executed: loading
    // restores values and fires nothing. The reason for a failure: unknown
    // name, a value that does not read as the node's kind, a node of no
    // settable kind, or the node's refusal.
    std::optional<std::string> Apply(const ParameterLine &line);

private:
    GenApi::INodeMap &nodeMap_;
};

}  // namespace vexo::genicam
