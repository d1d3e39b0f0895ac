#include "genapi/Node.h"

#include <algorithm>

#include "genapi/GenApi.h"
#include "genapi/GenericException.h"
#include "genapi/InterpreterError.h"

namespace vexo::genicam::genapi {
namespace {

const char *ModeName(GenApi::EAccessMode mode) {
    static const char *const names[] = {"NI", "NA", "WO", "RO", "RW"};
    return names[mode];
}

}  // namespace

void *Node::Interface(Kind kind) { return interfaces_[static_cast<size_t>(kind)]; }

void Node::ResolveInterfaces() {
    for (size_t kind = 0; kind < interfaces_.size(); ++kind) interfaces_[kind] = CastTo(static_cast<Kind>(kind));
}

void *Node::CastTo(Kind kind) {
    switch (kind) {
        case Kind::Integer: return dynamic_cast<GenApi::IInteger *>(this);
        case Kind::Float: return dynamic_cast<GenApi::IFloat *>(this);
        case Kind::String: return dynamic_cast<GenApi::IString *>(this);
        case Kind::Boolean: return dynamic_cast<GenApi::IBoolean *>(this);
        case Kind::Enumeration: return dynamic_cast<GenApi::IEnumeration *>(this);
        case Kind::EnumEntry: return dynamic_cast<GenApi::IEnumEntry *>(this);
        case Kind::Command: return dynamic_cast<GenApi::ICommand *>(this);
        case Kind::Category: return dynamic_cast<GenApi::ICategory *>(this);
        case Kind::Selector: return dynamic_cast<GenApi::ISelector *>(this);
        case Kind::Count: break;
    }
    return nullptr;
}

GenApi::gcstring Node::GetName() const { return arv_gc_feature_node_get_name(node_); }

GenApi::gcstring Node::GetDisplayName() const {
    Guard guard(Mutex());
    const char *name = arv_gc_feature_node_get_display_name(node_);
    return name != nullptr && *name != '\0' ? GenApi::gcstring(name) : GetName();
}

GenApi::gcstring Node::GetToolTip() const {
    Guard guard(Mutex());
    return arv_gc_feature_node_get_tooltip(node_);
}

GenApi::gcstring Node::GetDescription() const {
    Guard guard(Mutex());
    return arv_gc_feature_node_get_description(node_);
}

GenApi::EVisibility Node::GetVisibility() const {
    Guard guard(Mutex());
    switch (arv_gc_feature_node_get_visibility(node_)) {
        case ARV_GC_VISIBILITY_INVISIBLE: return GenApi::Invisible;
        case ARV_GC_VISIBILITY_GURU: return GenApi::Guru;
        case ARV_GC_VISIBILITY_EXPERT: return GenApi::Expert;
        default: return GenApi::Beginner;
    }
}

bool Node::HasProperty(ArvGcPropertyNodeType type) const {
    for (ArvDomNode *child = arv_dom_node_get_first_child(ARV_DOM_NODE(node_)); child;
         child = arv_dom_node_get_next_sibling(child))
        if (ARV_IS_GC_PROPERTY_NODE(child) && arv_gc_property_node_get_node_type(ARV_GC_PROPERTY_NODE(child)) == type)
            return true;
    return false;
}

GenApi::ERepresentation RepresentationOf(ArvGcRepresentation representation) {
    switch (representation) {
        case ARV_GC_REPRESENTATION_LINEAR: return GenApi::Linear;
        case ARV_GC_REPRESENTATION_LOGARITHMIC: return GenApi::Logarithmic;
        case ARV_GC_REPRESENTATION_BOOLEAN: return GenApi::Boolean;
        case ARV_GC_REPRESENTATION_PURE_NUMBER: return GenApi::PureNumber;
        case ARV_GC_REPRESENTATION_HEX_NUMBER: return GenApi::HexNumber;
        case ARV_GC_REPRESENTATION_IPV4_ADDRESS: return GenApi::IPV4Address;
        case ARV_GC_REPRESENTATION_MAC_ADDRESS: return GenApi::MACAddress;
        default: return GenApi::_UndefinedRepresentation;
    }
}

GenApi::EAccessMode Node::GetAccessMode() const {
    Guard guard(Mutex());
    if (!ChainImplemented()) return GenApi::NI;
    if (!ChainAvailable()) return GenApi::NA;
    bool locked = false;
    if (chainConditional_)
        for (ArvGcFeatureNode *node : Chain()) locked = locked || Checked(arv_gc_feature_node_is_locked, node);
    switch (DescribedAccessMode()) {
        case ARV_GC_ACCESS_MODE_WO:
            return locked ? GenApi::NA : GenApi::WO;
        case ARV_GC_ACCESS_MODE_RW:
            return locked ? GenApi::RO : GenApi::RW;
        default:
            return GenApi::RO;
    }
}

namespace {

bool IsCondition(ArvGcPropertyNodeType type) {
    return type == ARV_GC_PROPERTY_NODE_TYPE_P_IS_IMPLEMENTED || type == ARV_GC_PROPERTY_NODE_TYPE_P_IS_AVAILABLE ||
           type == ARV_GC_PROPERTY_NODE_TYPE_P_IS_LOCKED;
}

bool HasCondition(ArvGcFeatureNode *node) {
    for (ArvDomNode *child = arv_dom_node_get_first_child(ARV_DOM_NODE(node)); child;
         child = arv_dom_node_get_next_sibling(child))
        if (ARV_IS_GC_PROPERTY_NODE(child) && IsCondition(arv_gc_property_node_get_node_type(ARV_GC_PROPERTY_NODE(child))))
            return true;
    return false;
}

bool IsDelegation(ArvGcPropertyNodeType type) {
    return type == ARV_GC_PROPERTY_NODE_TYPE_P_VALUE || type == ARV_GC_PROPERTY_NODE_TYPE_P_VALUE_INDEXED ||
           type == ARV_GC_PROPERTY_NODE_TYPE_P_VALUE_DEFAULT;
}

// The nodes one node hands its value to directly.
void AddDelegates(ArvGcFeatureNode *node, std::vector<ArvGcFeatureNode *> &pending) {
    for (ArvDomNode *child = arv_dom_node_get_first_child(ARV_DOM_NODE(node)); child;
         child = arv_dom_node_get_next_sibling(child)) {
        if (!ARV_IS_GC_PROPERTY_NODE(child) || !IsDelegation(arv_gc_property_node_get_node_type(ARV_GC_PROPERTY_NODE(child))))
            continue;
        ArvGcNode *target = arv_gc_property_node_get_linked_node(ARV_GC_PROPERTY_NODE(child));
        if (target && ARV_IS_GC_FEATURE_NODE(target)) pending.push_back(ARV_GC_FEATURE_NODE(target));
    }
    ArvDomNode *parent = arv_dom_node_get_parent_node(ARV_DOM_NODE(node));
    if (ARV_IS_GC_STRUCT_ENTRY_NODE(node) && parent && ARV_IS_GC_FEATURE_NODE(parent))
        pending.push_back(ARV_GC_FEATURE_NODE(parent));
}

}  // namespace

const std::vector<ArvGcFeatureNode *> &Node::Chain() const {
    if (chain_) return *chain_;
    // The description check refused cycles; the visited test keeps a walk
    // finite all the same.
    std::vector<ArvGcFeatureNode *> chain;
    std::vector<ArvGcFeatureNode *> pending{node_};
    while (!pending.empty()) {
        ArvGcFeatureNode *node = pending.back();
        pending.pop_back();
        if (std::find(chain.begin(), chain.end(), node) != chain.end()) continue;
        chain.push_back(node);
        AddDelegates(node, pending);
    }
    chainConditional_ = std::any_of(chain.begin(), chain.end(), HasCondition);
    chain_ = std::move(chain);
    return *chain_;
}

bool Node::ChainImplemented() const {
    if (!Chain().empty() && !chainConditional_) return true;
    for (ArvGcFeatureNode *node : Chain())
        if (!Checked(arv_gc_feature_node_is_implemented, node)) return false;
    return true;
}

bool Node::ChainAvailable() const {
    if (!Chain().empty() && !chainConditional_) return true;
    for (ArvGcFeatureNode *node : Chain())
        if (!Checked(arv_gc_feature_node_is_available, node)) return false;
    return true;
}

ArvGcAccessMode Node::DescribedAccessMode() const {
    if (!describedAccessMode_) describedAccessMode_ = arv_gc_feature_node_get_actual_access_mode(node_);
    return *describedAccessMode_;
}

// A lock only takes writing away, so readability is settled without asking
// for it; this runs on every read.
void Node::RequireReadable() const {
    if (ChainImplemented() && ChainAvailable() && DescribedAccessMode() != ARV_GC_ACCESS_MODE_WO) return;
    const GenApi::EAccessMode mode = GetAccessMode();
    throw ACCESS_EXCEPTION("Node '%s' is not readable (access mode %s)", GetName().c_str(), ModeName(mode));
}

void Node::NoteWritten() const {
    for (ArvGcFeatureNode *node : Chain()) {
        const char *name = arv_gc_feature_node_get_name(node);
        if (name) map_.Cache().NodeWritten(name);
    }
}

void Node::RequireWritable() const {
    const GenApi::EAccessMode mode = GetAccessMode();
    if (!GenApi::IsWritable(mode))
        throw ACCESS_EXCEPTION("Node '%s' is not writable (access mode %s)", GetName().c_str(), ModeName(mode));
}

void Node::CollectNodes(const GSList *list, GenApi::FeatureList_t &features) const {
    features.clear();
    for (const GSList *item = list; item; item = item->next) {
        if (ARV_IS_GC_FEATURE_NODE(item->data)) features.push_back(&map_.NodeFor(ARV_GC_NODE(item->data)));
    }
}

void Node::CollectSelected(GenApi::FeatureList_t &features) const {
    Guard guard(Mutex());
    // The interpreter rebuilds this list on every call; it is copied before
    // anything else can ask for it again.
    CollectNodes(arv_gc_selector_get_selected_features(ARV_GC_SELECTOR(node_)), features);
}

}  // namespace vexo::genicam::genapi
