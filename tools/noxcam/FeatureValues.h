#pragma once
// A camera feature's current value through the library's typed functions, as text and as JSON.
#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

#include "FeatureTree.h"
#include "nox_genicam.h"

namespace noxcam {

struct FeatureValue {
    int32_t status = ERR_NONE;  // the read's status; value and text are set only for 0
    nlohmann::json value;       // number, boolean or string
    std::string text;
};

// The kind the description gives the feature; a name it lacks is asked of the camera's node map,
// and one that no typed function knows ends in ToolError ERR_INVALID_FEATURE.
FeatureKind ResolveKind(NoxCameraHandle *camera, const FeatureTree *tree, const std::string &name);

// Reads the value; a command reads whether it is done.
FeatureValue ReadFeature(NoxCameraHandle *camera, const std::string &name, FeatureKind kind);

// Writes the value given as text; a text the kind cannot take, or a refusal, ends in ToolError.
void WriteFeature(NoxCameraHandle *camera, const std::string &name, FeatureKind kind, const std::string &text);

}  // namespace noxcam
