// What a camera's node map says about its features: the feature list and one
// feature's information, as records the application frees.
#include <string>
#include <vector>

#include "api/ApiSupport.h"
#include "api/HandedOutRecords.h"
#include "genapi/GenApi.h"
#include "genicam/FeatureCatalog.h"
#include "nox_genicam_ext.h"

using namespace vexo::genicam;

namespace {

// The layer's numbers are the interface's.
template <class Layer, class Interface>
constexpr bool Same(Layer layer, Interface value) {
    return static_cast<int64_t>(layer) == static_cast<int64_t>(value);
}
static_assert(Same(GenApi::NI, NOX_ACCESS_NI) && Same(GenApi::NA, NOX_ACCESS_NA) && Same(GenApi::WO, NOX_ACCESS_WO) &&
              Same(GenApi::RO, NOX_ACCESS_RO) && Same(GenApi::RW, NOX_ACCESS_RW));
static_assert(Same(GenApi::Beginner, NOX_VISIBILITY_BEGINNER) && Same(GenApi::Expert, NOX_VISIBILITY_EXPERT) &&
              Same(GenApi::Guru, NOX_VISIBILITY_GURU) && Same(GenApi::Invisible, NOX_VISIBILITY_INVISIBLE));
static_assert(Same(GenApi::Linear, NOX_REPRESENTATION_LINEAR) &&
              Same(GenApi::HexNumber, NOX_REPRESENTATION_HEX_NUMBER) &&
              Same(GenApi::MACAddress, NOX_REPRESENTATION_MAC_ADDRESS) &&
              Same(GenApi::_UndefinedRepresentation, NOX_REPRESENTATION_UNDEFINED));
static_assert(Same(FeatureType::kOther, NOX_FEATURE_OTHER) && Same(FeatureType::kInteger, NOX_FEATURE_INTEGER) &&
              Same(FeatureType::kFloat, NOX_FEATURE_FLOAT) && Same(FeatureType::kString, NOX_FEATURE_STRING) &&
              Same(FeatureType::kBoolean, NOX_FEATURE_BOOLEAN) &&
              Same(FeatureType::kEnumeration, NOX_FEATURE_ENUMERATION) &&
              Same(FeatureType::kCommand, NOX_FEATURE_COMMAND) && Same(FeatureType::kCategory, NOX_FEATURE_CATEGORY));

struct FeatureListRecord {
    NoxFeatureList handed{};
    std::vector<FeatureListing> listings;
    std::vector<NoxFeatureListEntry> entries;
};

struct FeatureInfoRecord {
    NoxFeatureInfo handed{};
    FeatureDetails details;
    std::vector<NoxEnumEntryInfo> entries;
    std::vector<const char *> selected;
};

std::unique_ptr<FeatureListRecord> ListRecord(std::vector<FeatureListing> listings) {
    auto record = std::make_unique<FeatureListRecord>();
    record->listings = std::move(listings);
    for (const FeatureListing &listing : record->listings)
        record->entries.push_back(
            {listing.name.c_str(), listing.categoryPath.c_str(), static_cast<uint32_t>(listing.type)});
    record->handed.count = static_cast<uint32_t>(record->entries.size());
    record->handed.features = record->entries.data();
    return record;
}

void FillRanges(const FeatureDetails &details, NoxFeatureInfo &info) {
    if (const auto &range = details.integerRange) {
        info.hasIntegerRange = 1;
        info.integerMin = range->minimum;
        info.integerMax = range->maximum;
        info.integerIncrement = range->increment;
    }
    if (const auto &range = details.floatRange) {
        info.hasFloatRange = 1;
        info.floatMin = range->minimum;
        info.floatMax = range->maximum;
        info.floatIncrement = range->increment;
    }
}

std::unique_ptr<FeatureInfoRecord> InfoRecord(FeatureDetails details) {
    auto record = std::make_unique<FeatureInfoRecord>();
    record->details = std::move(details);
    const FeatureDetails &d = record->details;
    for (const EnumEntryDetails &entry : d.entries)
        record->entries.push_back(
            {entry.name.c_str(), entry.displayName.c_str(), entry.value, entry.available ? 1u : 0u});
    for (const std::string &name : d.selectedFeatures) record->selected.push_back(name.c_str());
    NoxFeatureInfo &info = record->handed;
    info.name = d.listing.name.c_str();
    info.categoryPath = d.listing.categoryPath.c_str();
    info.type = static_cast<uint32_t>(d.listing.type);
    info.access = static_cast<uint32_t>(d.access);
    info.visibility = static_cast<uint32_t>(d.visibility);
    info.representation = static_cast<uint32_t>(d.representation);
    info.displayName = d.displayName.c_str();
    info.toolTip = d.toolTip.c_str();
    info.description = d.description.c_str();
    info.unit = d.unit.c_str();
    FillRanges(d, info);
    info.entryCount = static_cast<uint32_t>(record->entries.size());
    info.entries = record->entries.data();
    info.isSelector = d.isSelector ? 1 : 0;
    info.selectedCount = static_cast<uint32_t>(record->selected.size());
    info.selectedFeatures = record->selected.data();
    return record;
}

// The node map of a connected camera; the refusal's status otherwise.
int32_t ConnectedNodeMap(CallFrameResult &frame, NOXCameraInterface &camera, GenApi::INodeMap *&nodeMap) {
    nodeMap = camera.NodeMap();
    if (nodeMap == nullptr) return Refuse(frame, ERR_NO_GENICAM_CONNECTION, "Failed to get camera node map");
    return ERR_NONE;
}

}  // namespace

extern "C" NOX_API int32_t Nox_getFeatureList(NoxCameraHandle *handle, NoxFeatureList **list) {
    NOX_CALL_FRAME(frame, "Nox_getFeatureList", CameraContext(handle));
    CameraPin camera = Camera(handle);
    if (camera == nullptr) return Refuse(frame, ERR_INVALID_CAMERA_HANDLE, "Invalid camera handle");
    if (list == nullptr) return Refuse(frame, ERR_INVALID_ARGUMENT, "Invalid list pointer");
    GenApi::INodeMap *nodeMap = nullptr;
    if (int32_t status = ConnectedNodeMap(frame, *camera, nodeMap); status != ERR_NONE) return status;
    try {
        *list = HandedOut<FeatureListRecord>().Keep(ListRecord(FeatureCatalog(*nodeMap).List()));
        return frame.Return(ERR_NONE);
    } catch (const std::exception &exception) {
        return Refuse(frame, ERR_EXCEPTION, std::string("Exception while listing features: ") + exception.what());
    }
}

extern "C" NOX_API int32_t Nox_freeFeatureList(NoxFeatureList *list) {
    CallFrameResult frame([] { return std::string(); });
    if (!HandedOut<FeatureListRecord>().Free(list)) return Refuse(frame, ERR_INVALID_ARGUMENT, "Invalid feature list");
    return frame.Return(ERR_NONE);
}

extern "C" NOX_API int32_t Nox_getFeatureInfo(NoxCameraHandle *handle, const char *feature, NoxFeatureInfo **info) {
    NOX_CALL_FRAME(frame, "Nox_getFeatureInfo", CameraContext(handle), FeatureText(feature));
    CameraPin camera = Camera(handle);
    if (camera == nullptr) return Refuse(frame, ERR_INVALID_CAMERA_HANDLE, "Invalid camera handle");
    if (IsEmpty(feature)) return Refuse(frame, ERR_INVALID_FEATURE, "Invalid feature name");
    if (info == nullptr) return Refuse(frame, ERR_INVALID_ARGUMENT, "Invalid info pointer");
    GenApi::INodeMap *nodeMap = nullptr;
    if (int32_t status = ConnectedNodeMap(frame, *camera, nodeMap); status != ERR_NONE) return status;
    try {
        std::optional<FeatureDetails> details = FeatureCatalog(*nodeMap).Describe(feature);
        if (!details) return Refuse(frame, ERR_INVALID_FEATURE, "Failed to get feature");
        *info = HandedOut<FeatureInfoRecord>().Keep(InfoRecord(std::move(*details)));
        return frame.Return(ERR_NONE);
    } catch (const std::exception &exception) {
        return Refuse(frame, ERR_EXCEPTION,
                      std::string("Exception while describing feature ") + feature + ": " + exception.what());
    }
}

extern "C" NOX_API int32_t Nox_freeFeatureInfo(NoxFeatureInfo *info) {
    CallFrameResult frame([] { return std::string(); });
    if (!HandedOut<FeatureInfoRecord>().Free(info))
        return Refuse(frame, ERR_INVALID_ARGUMENT, "Invalid feature information");
    return frame.Return(ERR_NONE);
}
