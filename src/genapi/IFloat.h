#pragma once

#include "genapi/INode.h"

namespace GenApi {

// A floating-point feature; access and range rules as for IInteger (no
// increment; a NaN is outside every range).
class IFloat : public virtual IValue {
public:
    virtual double GetValue() = 0;
    virtual void SetValue(double value, bool verify = true) = 0;
    virtual double GetMin() = 0;
    virtual double GetMax() = 0;
};

}  // namespace GenApi
