#pragma once

#include "genapi/GenericException.h"
#include "genapi/IBoolean.h"
#include "genapi/ICategory.h"
#include "genapi/ICommand.h"
#include "genapi/IEnumeration.h"
#include "genapi/IFloat.h"
#include "genapi/IInteger.h"
#include "genapi/INode.h"
#include "genapi/IPort.h"
#include "genapi/ISelector.h"
#include "genapi/IString.h"

namespace GenApi {

// A non-owning view of a node as one interface. Built from any node pointer,
// it holds null when the node is absent or of another kind; dereferencing a
// null view raises LogicalErrorException.
template <class T>
class CPointer {
public:
    CPointer() = default;
    template <class Source>
    CPointer(Source *object) : pointer_(dynamic_cast<T *>(object)) {}
    CPointer(T *object) : pointer_(object) {}

    bool IsValid() const { return pointer_ != nullptr; }
    operator T *() const { return pointer_; }
    T *operator->() const { return Checked(); }
    T &operator*() const { return *Checked(); }

private:
    T *Checked() const {
        if (!pointer_) throw LOGICAL_ERROR_EXCEPTION("NULL pointer dereferenced");
        return pointer_;
    }

    T *pointer_ = nullptr;
};

using CNodePtr = CPointer<INode>;
using CValuePtr = CPointer<IValue>;
using CIntegerPtr = CPointer<IInteger>;
using CFloatPtr = CPointer<IFloat>;
using CStringPtr = CPointer<IString>;
using CBooleanPtr = CPointer<IBoolean>;
using CEnumerationPtr = CPointer<IEnumeration>;
using CEnumEntryPtr = CPointer<IEnumEntry>;
using CCommandPtr = CPointer<ICommand>;
using CCategoryPtr = CPointer<ICategory>;
using CSelectorPtr = CPointer<ISelector>;
using CPortPtr = CPointer<IPort>;

}  // namespace GenApi
