#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace vexo::sim {

// A zip archive of one deflated entry, as cameras store their descriptions.
// Nothing when zlib refuses the content.
std::optional<std::vector<uint8_t>> ZipOneEntry(std::string_view entryName, std::span<const uint8_t> content);

inline constexpr uint32_t kZipLocalHeaderSignature = 0x04034B50;

}  // namespace vexo::sim
