#pragma once
#include <cstdint>

#include "genapi/INode.h"

namespace GenApi {

// An integer feature. Reads need a readable node, writes a writable one
// (AccessException). With verify, SetValue refuses a value below the minimum,
// above the maximum or off the increment grid from the minimum
// (OutOfRangeException) before anything is written.
class IInteger : public virtual IValue {
public:
    virtual int64_t GetValue() = 0;
    virtual void SetValue(int64_t value, bool verify = true) = 0;
    virtual int64_t GetMin() = 0;
    virtual int64_t GetMax() = 0;
    virtual int64_t GetInc() = 0;
    virtual ERepresentation GetRepresentation() = 0;
    // The unit of the value ("us", "dB"); empty when the description names none.
    virtual gcstring GetUnit() = 0;
};

}  // namespace GenApi
