#include "genicam/ParameterLoader.h"

#include <charconv>

#include "genapi/GenApi.h"

namespace vexo::genicam {

using namespace GenApi;

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// One line of at most kMaxLineLength characters; `tooLong` when it had more
// (the rest is skipped). False at the end of the stream.
bool ReadBoundedLine(std::istream &in, std::string &line, bool &tooLong) {
    line.clear();
    tooLong = false;
    std::streambuf *buffer = in.rdbuf();
    bool any = false;
    for (int c = buffer->sbumpc(); c != std::char_traits<char>::eof(); c = buffer->sbumpc()) {
        any = true;
        if (c == '\n') return true;
        if (line.size() < ParameterLoader::kMaxLineLength) line.push_back(static_cast<char>(c));
        else tooLong = true;
    }
    return any;
}

template <class Number>
std::optional<Number> ParseNumber(std::string_view text) {
    Number value{};
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<std::string> NotReadable(const ParameterLine &line, const char *kind) {
    return "'" + line.value + "' is no " + kind + " value for " + line.name;
}

}  // namespace

std::optional<ParameterLine> ParameterLine::Parse(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = Trim(line);
    if (line.empty() || line.front() == '#') return std::nullopt;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return ParameterLine{std::string(Trim(line.substr(0, equals))), std::string(Trim(line.substr(equals + 1)))};
}

ParameterLoader::Result ParameterLoader::Load(std::istream &in, bool stopAtFirstFailure) {
    Result result;
    std::string text;
    bool tooLong = false;
    for (uint32_t number = 1; ReadBoundedLine(in, text, tooLong); ++number) {
        std::optional<std::string> failure;
        std::string feature;
        if (tooLong) {
            failure = "longer than " + std::to_string(kMaxLineLength) + " characters";
        } else {
            const std::optional<ParameterLine> line = ParameterLine::Parse(text);
            if (!line) continue;
            feature = line->name;
            failure = Apply(*line);
        }
        if (!failure) {
            ++result.applied;
            continue;
        }
        ++result.failed;
        if (result.failures.size() < kMaxReportedFailures)
            result.failures.push_back({number, std::move(feature), std::move(*failure)});
        if (stopAtFirstFailure) {
            result.stopped = true;
            break;
        }
    }
    return result;
}

std::optional<std::string> ParameterLoader::Apply(const ParameterLine &line) {
    INode *node = nodeMap_.GetNode(line.name);
    if (node == nullptr) return "no feature named '" + line.name + "'";
    try {
        if (CCommandPtr(node).IsValid()) return std::nullopt;
        if (CIntegerPtr integer = node; integer.IsValid()) {
            const auto value = ParseNumber<int64_t>(line.value);
            if (!value) return NotReadable(line, "integer");
            integer->SetValue(*value);
        } else if (CFloatPtr number = node; number.IsValid()) {
            const auto value = ParseNumber<double>(line.value);
            if (!value) return NotReadable(line, "float");
            number->SetValue(*value);
        } else if (CBooleanPtr boolean = node; boolean.IsValid()) {
            if (line.value != "0" && line.value != "1") return NotReadable(line, "boolean");
            boolean->SetValue(line.value == "1");
        } else if (CStringPtr string = node; string.IsValid()) {
            const std::string &value = line.value;
            if (value.size() < 2 || value.front() != '"' || value.back() != '"') return NotReadable(line, "string");
            string->SetValue(value.substr(1, value.size() - 2));
        } else if (CEnumerationPtr enumeration = node; enumeration.IsValid()) {
            IEnumEntry *entry = enumeration->GetEntryByName(line.value);
            if (entry == nullptr) return NotReadable(line, "enumeration");
            enumeration->SetIntValue(entry->GetValue());
        } else {
            return line.name + " has no settable value";
        }
    } catch (const std::exception &exception) {
        return line.name + ": " + exception.what();
    }
    return std::nullopt;
}

}  // namespace vexo::genicam
