#pragma once
#include "genapi/IInteger.h"
#include "genapi/ISelector.h"
#include "genapi/Node.h"

namespace vexo::genicam::genapi {

// Integer, IntReg, MaskedIntReg, StructEntry and the other integer kinds.
class IntegerNode final : public Node, public virtual GenApi::IInteger, public virtual GenApi::ISelector {
public:
    using Node::Node;

    int64_t GetValue() override;
    void SetValue(int64_t value, bool verify) override;
    int64_t GetMin() override;
    int64_t GetMax() override;
    int64_t GetInc() override;
    GenApi::ERepresentation GetRepresentation() override;
    GenApi::gcstring GetUnit() override;

    bool IsSelector() override;
    void GetSelectedFeatures(GenApi::FeatureList_t &features) override;

private:
    ArvGcInteger *Integer() const { return ARV_GC_INTEGER(node_); }
    void VerifyInRange(int64_t value);
};

}  // namespace vexo::genicam::genapi
