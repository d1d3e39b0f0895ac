#include "genapi/CategoryNode.h"

namespace vexo::genicam::genapi {

void CategoryNode::GetFeatures(GenApi::FeatureList_t &features) {
    Guard guard(Mutex());
    features.clear();
    // The interpreter lists the features by name.
    for (const GSList *item = arv_gc_category_get_features(ARV_GC_CATEGORY(node_)); item; item = item->next) {
        if (Node *feature = map_.NodeNamed(static_cast<const char *>(item->data))) features.push_back(feature);
    }
}

}  // namespace vexo::genicam::genapi
