#pragma once
#include "genapi/IFloat.h"
#include "genapi/Node.h"

namespace vexo::genicam::genapi {

// Float, FloatReg, Converter, SwissKnife.
class FloatNode final : public Node, public virtual GenApi::IFloat {
public:
    using Node::Node;

    double GetValue() override;
    void SetValue(double value, bool verify) override;
    double GetMin() override;
    double GetMax() override;
    bool HasInc() override;
    double GetInc() override;
    GenApi::ERepresentation GetRepresentation() override;
    GenApi::gcstring GetUnit() override;

private:
    ArvGcFloat *Float() const { return ARV_GC_FLOAT(node_); }
};

}  // namespace vexo::genicam::genapi
