#pragma once
#include <cstdint>

#include "genapi/INode.h"

namespace GenApi {

// A text feature. With verify, SetValue refuses a text longer than the
// maximum length (OutOfRangeException).
class IString : public virtual IValue {
public:
    virtual gcstring GetValue() = 0;
    virtual void SetValue(const gcstring &value, bool verify = true) = 0;
    virtual int64_t GetMaxLength() = 0;
};

}  // namespace GenApi
