#pragma once
#include "genapi/ICategory.h"
#include "genapi/Node.h"

namespace vexo::genicam::genapi {

class CategoryNode final : public Node, public virtual GenApi::ICategory {
public:
    using Node::Node;

    void GetFeatures(GenApi::FeatureList_t &features) override;
};

}  // namespace vexo::genicam::genapi
