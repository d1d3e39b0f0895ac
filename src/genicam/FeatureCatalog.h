#pragma once
// What a camera's node map tells about its features: the list of them with the
// categories that lead to each, and one feature's kind, access now, presentation,
// range, entries and selection. Everything comes from the node map as it is now;
// nothing is kept between calls.
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "genapi/INodeMap.h"

namespace vexo::genicam {

// The kind of a feature node (the values of NoxFeatureType).
enum class FeatureType : uint32_t {
    kOther = 0,  // registers of no value kind, ports
    kInteger = 1,
    kFloat = 2,
    kString = 3,
    kBoolean = 4,
    kEnumeration = 5,
    kCommand = 6,
    kCategory = 7,
};

struct FeatureListing {
    std::string name;
    // The categories from a root category down to the one that lists the
    // feature, joined by "/"; empty for a root category and for a feature no
    // category reaches.
    std::string categoryPath;
    FeatureType type = FeatureType::kOther;
};

template <class Number>
struct FeatureRange {
    Number minimum{}, maximum{}, increment{};
};

struct EnumEntryDetails {
    std::string name;
    std::string displayName;
    int64_t value = 0;
    bool available = false;  // implemented and available now
};

struct FeatureDetails {
    FeatureListing listing;
    GenApi::EAccessMode access = GenApi::NI;
    GenApi::EVisibility visibility = GenApi::Beginner;
    GenApi::ERepresentation representation = GenApi::_UndefinedRepresentation;
    std::string displayName, toolTip, description, unit;
    // Integers and floats whose range could be read now; a float without a
    // step has increment 0.
    std::optional<FeatureRange<int64_t>> integerRange;
    std::optional<FeatureRange<double>> floatRange;
    std::vector<EnumEntryDetails> entries;  // description order
    bool isSelector = false;
    std::vector<std::string> selectedFeatures;  // description order
};

class FeatureCatalog {
public:
    // Categories nested deeper than this are not followed: a description may
    // nest them as deep as it likes, and a path is meant for people.
    static constexpr size_t kMaxCategoryDepth = 64;

    explicit FeatureCatalog(GenApi::INodeMap &nodeMap);

    // Every feature node of the description once, in description order.
    std::vector<FeatureListing> List() const;

    // One feature; nothing when the node map has no node of that name. Raises
    // what the node map raises when the access mode cannot be worked out.
    std::optional<FeatureDetails> Describe(const std::string &name) const;

private:
    // The category path of every node some category reaches, from the root
    // categories (those no other category lists) in description order, depth
    // first; a node reached twice keeps its first path.
    std::unordered_map<const GenApi::INode *, std::string> CategoryPaths() const;

    GenApi::INodeMap &nodeMap_;
};

FeatureType TypeOf(GenApi::INode &node);

}  // namespace vexo::genicam
