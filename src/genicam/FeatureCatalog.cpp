#include "genicam/FeatureCatalog.h"

#include <unordered_set>

#include "genapi/GenApi.h"
#include "genicam/CategoryWalk.h"

namespace vexo::genicam {

using namespace GenApi;

FeatureType TypeOf(INode &node) {
    if (CIntegerPtr(&node).IsValid()) return FeatureType::kInteger;
    if (CFloatPtr(&node).IsValid()) return FeatureType::kFloat;
    if (CStringPtr(&node).IsValid()) return FeatureType::kString;
    if (CBooleanPtr(&node).IsValid()) return FeatureType::kBoolean;
    if (CEnumerationPtr(&node).IsValid()) return FeatureType::kEnumeration;
    if (CCommandPtr(&node).IsValid()) return FeatureType::kCommand;
    if (CCategoryPtr(&node).IsValid()) return FeatureType::kCategory;
    return FeatureType::kOther;
}

namespace {

// The categories of the list that no category of it lists, in its order.
std::vector<INode *> RootCategories(const NodeList_t &nodes) {
    std::unordered_set<const INode *> listed;
    for (INode *node : nodes)
        if (CCategoryPtr category = node; category.IsValid())
            for (INode *member : CategoryMembers(*category))
                if (member != node) listed.insert(member);
    std::vector<INode *> roots;
    for (INode *node : nodes)
        if (CCategoryPtr(node).IsValid() && listed.count(node) == 0) roots.push_back(node);
    return roots;
}

// Reads a range, or nothing when the node cannot tell it now (a bound that
// lives in a register the camera refuses, say): the range is information,
// and the rest of it still is.
template <class Range, class Read>
std::optional<Range> RangeIfReadable(Read read) {
    try {
        return read();
    } catch (const GenICam::GenericException &) {
        return std::nullopt;
    }
}

void AddNumberDetails(INode &node, FeatureDetails &details) {
    if (CIntegerPtr integer = &node; integer.IsValid()) {
        details.representation = integer->GetRepresentation();
        details.unit = integer->GetUnit();
        details.integerRange = RangeIfReadable<FeatureRange<int64_t>>([&] {
            return FeatureRange<int64_t>{integer->GetMin(), integer->GetMax(), integer->GetInc()};
        });
    } else if (CFloatPtr number = &node; number.IsValid()) {
        details.representation = number->GetRepresentation();
        details.unit = number->GetUnit();
        details.floatRange = RangeIfReadable<FeatureRange<double>>([&] {
            return FeatureRange<double>{number->GetMin(), number->GetMax(), number->GetInc()};
        });
    }
}

void AddEntries(INode &node, FeatureDetails &details) {
    CEnumerationPtr enumeration = &node;
    if (!enumeration.IsValid()) return;
    NodeList_t entries;
    enumeration->GetEntries(entries);
    for (INode *entryNode : entries) {
        CEnumEntryPtr entry = entryNode;
        if (!entry.IsValid()) continue;
        details.entries.push_back({std::string(entry->GetSymbolic()), std::string(entryNode->GetDisplayName()),
                                   entry->GetValue(), IsAvailable(entryNode->GetAccessMode())});
    }
}

void AddSelection(INode &node, FeatureDetails &details) {
    CSelectorPtr selector = &node;
    if (!selector.IsValid() || !selector->IsSelector()) return;
    details.isSelector = true;
    FeatureList_t selected;
    selector->GetSelectedFeatures(selected);
    for (IValue *feature : selected)
        if (feature != nullptr && feature->GetNode() != nullptr)
            details.selectedFeatures.push_back(feature->GetNode()->GetName());
}

}  // namespace

FeatureCatalog::FeatureCatalog(INodeMap &nodeMap) : nodeMap_(nodeMap) {}

std::unordered_map<const INode *, std::string> FeatureCatalog::CategoryPaths() const {
    NodeList_t nodes;
    nodeMap_.GetNodes(nodes);
    std::unordered_map<const INode *, std::string> paths;
    std::unordered_set<const INode *> seen;
    for (INode *root : RootCategories(nodes)) {
        if (!seen.insert(root).second) continue;
        paths.emplace(root, "");
        WalkCategory(*root, seen, kMaxCategoryDepth,
                     [&](INode &node, const std::string &path) { paths.emplace(&node, path); });
    }
    return paths;
}

std::vector<FeatureListing> FeatureCatalog::List() const {
    NodeList_t nodes;
    nodeMap_.GetNodes(nodes);
    const auto paths = CategoryPaths();
    std::vector<FeatureListing> listing;
    listing.reserve(nodes.size());
    for (INode *node : nodes) {
        const auto path = paths.find(node);
        listing.push_back({node->GetName(), path != paths.end() ? path->second : std::string(), TypeOf(*node)});
    }
    return listing;
}

std::optional<FeatureDetails> FeatureCatalog::Describe(const std::string &name) const {
    INode *node = nodeMap_.GetNode(name);
    if (node == nullptr) return std::nullopt;
    const auto paths = CategoryPaths();
    const auto path = paths.find(node);
    FeatureDetails details;
    details.listing = {node->GetName(), path != paths.end() ? path->second : std::string(), TypeOf(*node)};
    details.access = node->GetAccessMode();
    details.visibility = node->GetVisibility();
    details.displayName = node->GetDisplayName();
    details.toolTip = node->GetToolTip();
    details.description = node->GetDescription();
    AddNumberDetails(*node, details);
    AddEntries(*node, details);
    AddSelection(*node, details);
    return details;
}

}  // namespace vexo::genicam
