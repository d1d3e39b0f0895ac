#pragma once

#include "genapi/INode.h"

namespace GenApi {

// A command feature. Execute needs a writable node. IsDone is true once the
// command's value register no longer holds the command value, and also when
// completion cannot be observed (no readable value register, no command value).
class ICommand : public virtual IValue {
public:
    virtual void Execute() = 0;
    virtual bool IsDone() = 0;
};

}  // namespace GenApi
