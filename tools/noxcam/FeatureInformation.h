#pragma once
// What the camera's node map says about its features, through the extension interface: the list
// of features with their category paths, and one feature's information.
#include <memory>
#include <string>
#include <vector>

#include "nox_genicam_ext.h"

namespace noxcam {

struct FreeFeatureInfo {
    void operator()(NoxFeatureInfo *info) const { Nox_freeFeatureInfo(info); }
};
using FeatureInfo = std::unique_ptr<NoxFeatureInfo, FreeFeatureInfo>;

struct ListedFeature {
    std::string name;
    std::string categoryPath;  // "" for a root category and for nodes no category reaches
    uint32_t type = NOX_FEATURE_OTHER;
};

// The information of one feature; a name the node map lacks ends in ToolError "<name>: no such feature".
FeatureInfo DescribeFeature(NoxCameraHandle *camera, const std::string &name);

// Every feature node of the description, in its order.
std::vector<ListedFeature> ListFeatures(NoxCameraHandle *camera);

const char *TypeName(uint32_t type);                      // "Integer", "Category", ...
const char *AccessName(uint32_t access);                  // "NI", "NA", "WO", "RO", "RW"
const char *VisibilityName(uint32_t visibility);          // "Beginner", ...
const char *RepresentationName(uint32_t representation);  // "Linear", ..., "" when undefined

inline bool IsReadable(uint32_t access) { return access == NOX_ACCESS_RO || access == NOX_ACCESS_RW; }

}  // namespace noxcam
