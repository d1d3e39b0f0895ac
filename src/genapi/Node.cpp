#include "genapi/Node.h"

#include "genapi/GenericException.h"
#include "genapi/InterpreterError.h"

namespace vexo::genicam::genapi {
namespace {

const char *ModeName(GenApi::EAccessMode mode) {
    static const char *const names[] = {"NI", "NA", "WO", "RO", "RW"};
    return names[mode];
}

}  // namespace

GenApi::gcstring Node::GetName() const { return arv_gc_feature_node_get_name(node_); }

GenApi::EAccessMode Node::GetAccessMode() const {
    Guard guard(Mutex());
    if (!Checked(arv_gc_feature_node_is_implemented, node_)) return GenApi::NI;
    if (!Checked(arv_gc_feature_node_is_available, node_)) return GenApi::NA;
    const bool locked = Checked(arv_gc_feature_node_is_locked, node_);
    switch (DescribedAccessMode()) {
        case ARV_GC_ACCESS_MODE_WO:
            return locked ? GenApi::NA : GenApi::WO;
        case ARV_GC_ACCESS_MODE_RW:
            return locked ? GenApi::RO : GenApi::RW;
        default:
            return GenApi::RO;
    }
}

ArvGcAccessMode Node::DescribedAccessMode() const {
    Guard guard(Mutex());
    if (!describedAccessMode_) describedAccessMode_ = arv_gc_feature_node_get_actual_access_mode(node_);
    return *describedAccessMode_;
}

// A lock only takes writing away, so readability is settled without asking
// for it; this runs on every read.
void Node::RequireReadable() const {
    Guard guard(Mutex());
    if (Checked(arv_gc_feature_node_is_implemented, node_) && Checked(arv_gc_feature_node_is_available, node_) &&
        DescribedAccessMode() != ARV_GC_ACCESS_MODE_WO)
        return;
    const GenApi::EAccessMode mode = GetAccessMode();
    throw ACCESS_EXCEPTION("Node '%s' is not readable (access mode %s)", GetName().c_str(), ModeName(mode));
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
