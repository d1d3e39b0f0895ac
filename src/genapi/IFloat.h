#pragma once

#include "genapi/INode.h"

namespace GenApi {

// A floating-point feature; access and range rules as for IInteger (the
// increment is not enforced; a NaN is outside every range).
class IFloat : public virtual IValue {
public:
    virtual double GetValue() = 0;
    virtual void SetValue(double value, bool verify = true) = 0;
    virtual double GetMin() = 0;
    virtual double GetMax() = 0;
    // Whether the description gives the value a step (Inc or pInc), and the step.
    virtual bool HasInc() = 0;
    virtual double GetInc() = 0;
    virtual ERepresentation GetRepresentation() = 0;
    // The unit of the value; empty when the description names none.
    virtual gcstring GetUnit() = 0;
};

}  // namespace GenApi
