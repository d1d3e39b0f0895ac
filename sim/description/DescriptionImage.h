#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "description/CameraDescription.h"
#include "topology/Topology.h"

namespace vexo::sim {

// The description file a camera serves: its name for the URL and its bytes.
struct DescriptionImage {
    std::string fileName;
    std::vector<uint8_t> bytes;
};

using DescriptionHandle = std::shared_ptr<const DescriptionImage>;

// Files larger than this do not fit a camera's description area.
inline constexpr size_t kMaxDescriptionBytes = 16u << 20;

// The image for a camera's description source. A named file is read (relative
// names against baseFolder) and zipped when asked to be unless it already is a
// zip archive; the built-in description is built once and shared. A text
// saying what failed otherwise.
std::variant<DescriptionHandle, std::string> LoadDescription(const DescriptionSource &source,
                                                             const std::filesystem::path &baseFolder,
                                                             DescriptionFlavour flavour = DescriptionFlavour::CoaXPress);

}  // namespace vexo::sim
