#pragma once
#include "genapi/IBoolean.h"
#include "genapi/Node.h"

namespace vexo::genicam::genapi {

class BooleanNode final : public Node, public virtual GenApi::IBoolean {
public:
    using Node::Node;

    bool GetValue() override;
    // Verification adds nothing to the writability check for a boolean.
    void SetValue(bool value, bool verify) override;

private:
    ArvGcBoolean *Boolean() const { return ARV_GC_BOOLEAN(node_); }
};

}  // namespace vexo::genicam::genapi
