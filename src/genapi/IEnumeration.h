#pragma once
#include <cstdint>

#include "genapi/IEnumEntry.h"
#include "genapi/INode.h"

namespace GenApi {

// An enumeration feature: never an IInteger, though its value is an integer.
// With verify, SetIntValue refuses a value that is no available entry's
// (OutOfRangeException); without, the value is written whatever the entries
// say now. Writability is checked always (AccessException).
class IEnumeration : public virtual IValue {
public:
    virtual int64_t GetIntValue() = 0;
    virtual void SetIntValue(int64_t value, bool verify = true) = 0;
    // The entry of the current value; null when the value matches no entry.
    virtual IEnumEntry *GetCurrentEntry() = 0;
    // The entry with that symbolic name; null when there is none.
    virtual IEnumEntry *GetEntryByName(const gcstring &symbolic) = 0;
    // Every entry in the description's order, available or not.
    virtual void GetEntries(NodeList_t &entries) = 0;
};

}  // namespace GenApi
