#pragma once
#include <string>
#include <string_view>

namespace vexo::sim {

// Base of the built-in description's file name (".xml" or ".zip" follows).
inline constexpr std::string_view kBuiltInDescriptionName = "VexoVision_VirtualCxpCamera";

// The GenICam description (schema 1.1) of the simulated camera: the bootstrap
// strings and the feature registers of FeatureRegisters, under the category
// "Root". Built once; the same text for every camera.
const std::string &BuiltInDescriptionText();

}  // namespace vexo::sim
