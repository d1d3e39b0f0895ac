#include "settings/SettingsFile.h"

#include <fstream>
#include <system_error>

namespace vexo::templates::platform {

namespace {

constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";

std::string_view Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(kWhiteSpace);
    return text.substr(first, last - first + 1);
}

std::string_view StripComment(std::string_view line) {
    const std::size_t hash = line.find('#');
    return hash == std::string_view::npos ? line : line.substr(0, hash);
}

bool IsSectionLine(std::string_view line) {
    return line.size() >= 3 && line.front() == '[' && line.back() == ']';
}

void ParseLine(std::string_view rawLine, std::string &section, SettingsMap &settings) {
    const std::string_view line = Trim(StripComment(rawLine));
    if (line.empty()) return;
    if (IsSectionLine(line)) {
        section = std::string(Trim(line.substr(1, line.size() - 2)));
        return;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return;
    const std::string_view name = Trim(line.substr(0, equals));
    const std::string_view value = Trim(line.substr(equals + 1));
    settings[SettingsKey(section + "::" + std::string(name))] = std::string(value);
}

}  // namespace

std::string SettingsKey(std::string_view key) {
    std::string upper(key);
    for (char &c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

SettingsMap ParseSettingsText(std::string_view text) {
    SettingsMap settings;
    std::string section;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        ParseLine(text.substr(0, end), section, settings);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return settings;
}

SettingsMap ReadSettingsFile(const std::filesystem::path &path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return {};
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::string text;
    char chunk[64 * 1024];
    while (text.size() <= kMaxSettingsFileBytes) {
        in.read(chunk, sizeof chunk);
        if (in.gcount() <= 0) break;
        text.append(chunk, static_cast<std::size_t>(in.gcount()));
    }
    if (text.size() > kMaxSettingsFileBytes) {
        // Cut the line the limit falls into rather than read half of it.
        const std::size_t lastLineEnd = text.rfind('\n', kMaxSettingsFileBytes - 1);
        text.resize(lastLineEnd == std::string::npos ? 0 : lastLineEnd + 1);
    }
    return ParseSettingsText(text);
}

}  // namespace vexo::templates::platform
