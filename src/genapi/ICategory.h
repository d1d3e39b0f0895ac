#pragma once

#include "genapi/INode.h"

namespace GenApi {

// A category: an ordered list of features, some of them categories again.
class ICategory : public virtual IValue {
public:
    // The category's features in the description's order; names that are no
    // node of the map are left out.
    virtual void GetFeatures(FeatureList_t &features) = 0;
};

}  // namespace GenApi
