#pragma once
#include <type_traits>


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
    CPointer(Source *object) : pointer_(Cast(object)) {}
    CPointer(T *object) : pointer_(object) {}

    bool IsValid() const { return pointer_ != nullptr; }
    operator T *() const { return pointer_; }
    T *operator->() const { return Checked(); }
    T &operator*() const { return *Checked(); }

private:
    template <class Source>
    static T *Cast(Source *object) {
        if constexpr (std::is_base_of_v<INode, Source> && HasKind()) return object ? object->template As<T>() : nullptr;
        else return dynamic_cast<T *>(object);
    }
    // The node kinds' interfaces, which INode::As answers.
    static constexpr bool HasKind() {
        return std::is_same_v<T, IInteger> || std::is_same_v<T, IFloat> || std::is_same_v<T, IString> ||
               std::is_same_v<T, IBoolean> || std::is_same_v<T, IEnumeration> || std::is_same_v<T, IEnumEntry> ||
               std::is_same_v<T, ICommand> || std::is_same_v<T, ICategory> || std::is_same_v<T, ISelector>;
    }

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
