#pragma once

#include "genapi/INode.h"

namespace GenApi {

// A boolean feature; reads need a readable node, writes a writable one.
class IBoolean : public virtual IValue {
public:
    virtual bool GetValue() = 0;
    virtual void SetValue(bool value, bool verify = true) = 0;
};

}  // namespace GenApi
