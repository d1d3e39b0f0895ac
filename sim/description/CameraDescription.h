#pragma once
#include <string>
#include <string_view>

namespace vexo::sim {

// Which camera the built-in description is for: the device strings sit at the
// bootstrap addresses of its control protocol.
enum class DescriptionFlavour { CoaXPress, GenCp };

// Base of the built-in description's file name (".xml" or ".zip" follows).
std::string_view BuiltInDescriptionName(DescriptionFlavour flavour = DescriptionFlavour::CoaXPress);

// The GenICam description (schema 1.1) of the simulated camera: the bootstrap
// strings and the feature registers of FeatureRegisters, under the category
// "Root". Built once per flavour; the same text for every camera.
const std::string &BuiltInDescriptionText(DescriptionFlavour flavour = DescriptionFlavour::CoaXPress);

}  // namespace vexo::sim
