#pragma once
#include <cstddef>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace vexo::templates::platform {

// Parsed settings: upper-cased "SECTION::NAME" to the value as written.
using SettingsMap = std::map<std::string, std::string>;

// Files larger than this are read up to their last line end within the limit.
inline constexpr std::size_t kMaxSettingsFileBytes = 1024 * 1024;

// The form under which a key is stored and looked up: upper case (ASCII).
std::string SettingsKey(std::string_view key);

// Parses settings text ("rt.conf" format), a pure function of its input:
// - "#" starts a comment running to the line end; lines are trimmed, empty ones skipped;
// - "[name]" (at least 3 characters) starts section "name" (trimmed);
// - "name = value" stores SECTION::NAME (upper case) -> value (trimmed, case kept);
//   lines without "=" are ignored. Before the first section the section is empty,
//   so such keys begin with "::" and match no property.
// When a key appears twice the later line wins, as a user editing a file expects.
// Any bytes are accepted; lines may end in "\n" or "\r\n", the last one needs no end.
SettingsMap ParseSettingsText(std::string_view text);

// Reads and parses a settings file. A missing, unreadable or non-regular file
// (a FIFO, a device) gives an empty map; at most kMaxSettingsFileBytes are read.
SettingsMap ReadSettingsFile(const std::filesystem::path &path);

}  // namespace vexo::templates::platform
