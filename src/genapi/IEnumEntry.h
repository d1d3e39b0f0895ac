#pragma once
#include <cstdint>

#include "genapi/INode.h"

namespace GenApi {

// One entry of an enumeration: its integer value and its symbolic name. Its
// access mode tells whether the entry is implemented and available.
class IEnumEntry : public virtual IValue {
public:
    virtual int64_t GetValue() = 0;
    virtual gcstring GetSymbolic() const = 0;
};

}  // namespace GenApi
