#pragma once
#include "genapi/ICommand.h"
#include "genapi/Node.h"

namespace vexo::genicam::genapi {

// A command. The interpreter has no completion of its own: IsDone compares
// the command's value register with its command value.
class CommandNode final : public Node, public virtual GenApi::ICommand {
public:
    using Node::Node;

    void Execute() override;
    bool IsDone() override;

private:
    // The command's property node of that kind; null when it has none.
    ArvGcPropertyNode *Property(ArvGcPropertyNodeType type) const;
};

}  // namespace vexo::genicam::genapi
