#include "FeatureInformation.h"

#include "ToolError.h"

namespace noxcam {

namespace {

struct FreeFeatureList {
    void operator()(NoxFeatureList *list) const { Nox_freeFeatureList(list); }
};

// The name at index, or "?" for a number the table does not know (a newer library).
template <size_t N>
const char *NameAt(const char *const (&names)[N], uint32_t index) {
    return index < N ? names[index] : "?";
}

}  // namespace

FeatureInfo DescribeFeature(NoxCameraHandle *camera, const std::string &name) {
    NoxFeatureInfo *info = nullptr;
    const int32_t status = Nox_getFeatureInfo(camera, name.c_str(), &info);
    if (status == ERR_INVALID_FEATURE) throw ToolError(name + ": no such feature", status);
    Check(status, "describing " + name);
    return FeatureInfo(info);
}

std::vector<ListedFeature> ListFeatures(NoxCameraHandle *camera) {
    NoxFeatureList *raw = nullptr;
    Check(Nox_getFeatureList(camera, &raw), "listing the features");
    const std::unique_ptr<NoxFeatureList, FreeFeatureList> list(raw);
    std::vector<ListedFeature> features;
    for (uint32_t i = 0; i < list->count; ++i) {
        const NoxFeatureListEntry &entry = list->features[i];
        features.push_back({entry.name, entry.categoryPath, entry.type});
    }
    return features;
}

const char *TypeName(uint32_t type) {
    static const char *const names[] = {"Other", "Integer", "Float", "String", "Boolean", "Enumeration", "Command",
                                        "Category"};
    return NameAt(names, type);
}

const char *AccessName(uint32_t access) {
    static const char *const names[] = {"NI", "NA", "WO", "RO", "RW"};
    return NameAt(names, access);
}

const char *VisibilityName(uint32_t visibility) {
    static const char *const names[] = {"Beginner", "Expert", "Guru", "Invisible"};
    return NameAt(names, visibility);
}

const char *RepresentationName(uint32_t representation) {
    static const char *const names[] = {"Linear", "Logarithmic", "Boolean", "PureNumber", "HexNumber",
                                        "IPV4Address", "MACAddress", ""};
    return NameAt(names, representation);
}

}  // namespace noxcam
