#pragma once
#include "genapi/IString.h"
#include "genapi/Node.h"

namespace vexo::genicam::genapi {

// String and StringReg.
class StringNode final : public Node, public virtual GenApi::IString {
public:
    using Node::Node;

    GenApi::gcstring GetValue() override;
    void SetValue(const GenApi::gcstring &value, bool verify) override;
    int64_t GetMaxLength() override;

private:
    ArvGcString *String() const { return ARV_GC_STRING(node_); }
};

}  // namespace vexo::genicam::genapi
