#pragma once

#include "genapi/INode.h"

namespace GenApi {

// A feature (integer or enumeration) whose value selects which instance of
// other features is reached.
class ISelector : public virtual IBase {
public:
    virtual bool IsSelector() = 0;
    // A copy of the features this one selects, in the description's order.
    virtual void GetSelectedFeatures(FeatureList_t &features) = 0;
};

}  // namespace GenApi
