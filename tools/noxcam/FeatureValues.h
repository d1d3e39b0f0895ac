#pragma once
// A camera feature's current value through the library's typed functions, as text and as JSON.
#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

#include "nox_genicam_ext.h"

namespace noxcam {

struct FeatureValue {
    int32_t status = ERR_NONE;  // the read's status; value and text are set only for 0
    nlohmann::ordered_json value;       // number, boolean or string
    std::string text;
};

// Reads the value of a feature of that type (enum NoxFeatureType); a command reads whether it is done.
FeatureValue ReadFeature(NoxCameraHandle *camera, const std::string &name, uint32_t type);

// Writes the value given as text; a text the type cannot take, or a refusal, ends in ToolError.
void WriteFeature(NoxCameraHandle *camera, const std::string &name, uint32_t type, const std::string &text);

}  // namespace noxcam
