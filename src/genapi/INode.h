#pragma once
#include <vector>

#include "genapi/IBase.h"
#include "genapi/gcstring.h"

namespace GenApi {

using GenICam::gcstring;
using GenICam::gcstring_vector;

class INode;
class IValue;
using node_vector = std::vector<INode *>;
using NodeList_t = node_vector;
using value_vector = std::vector<IValue *>;
using FeatureList_t = value_vector;

class IInteger;
class IFloat;
class IString;
class IBoolean;
class IEnumeration;
class IEnumEntry;
class ICommand;
class ICategory;
class ISelector;

// How prominently a user interface offers a node, for whom.
enum EVisibility { Beginner = 0, Expert = 1, Guru = 2, Invisible = 3 };

// How a number is best shown or entered; _UndefinedRepresentation when the
// description does not say.
enum ERepresentation {
    Linear = 0,
    Logarithmic = 1,
    Boolean = 2,
    PureNumber = 3,
    HexNumber = 4,
    IPV4Address = 5,
    MACAddress = 6,
    _UndefinedRepresentation = 7
};

// One node of a node map, owned by the node map: valid as long as the map.
// Every call on a node is serialised with every other call on its node map.
class INode : public virtual IBase {
public:
    virtual gcstring GetName() const = 0;
    // What a user interface shows of the node, as the description gives it:
    // the display name (the name when there is none), the tool tip and the
    // description (empty when absent), and the visibility (Beginner when absent).
    virtual gcstring GetDisplayName() const = 0;
    virtual gcstring GetToolTip() const = 0;
    virtual gcstring GetDescription() const = 0;
    virtual EVisibility GetVisibility() const = 0;

    // The node as one of the node kinds' interfaces, null when it is not of
    // that kind. CPointer asks this rather than casting across the kinds'
    // virtual bases, which costs a good part of a feature read.
    template <class T>
    T *As() {
        return static_cast<T *>(Interface(KindOf(static_cast<T *>(nullptr))));
    }

protected:
    enum class Kind { Integer, Float, String, Boolean, Enumeration, EnumEntry, Command, Category, Selector, Count };
    virtual void *Interface(Kind kind) = 0;

private:
    static Kind KindOf(IInteger *) { return Kind::Integer; }
    static Kind KindOf(IFloat *) { return Kind::Float; }
    static Kind KindOf(IString *) { return Kind::String; }
    static Kind KindOf(IBoolean *) { return Kind::Boolean; }
    static Kind KindOf(IEnumeration *) { return Kind::Enumeration; }
    static Kind KindOf(IEnumEntry *) { return Kind::EnumEntry; }
    static Kind KindOf(ICommand *) { return Kind::Command; }
    static Kind KindOf(ICategory *) { return Kind::Category; }
    static Kind KindOf(ISelector *) { return Kind::Selector; }
};

// A node with a value of some kind; the node kinds derive from it.
class IValue : public virtual IBase {
public:
    virtual INode *GetNode() = 0;
};

}  // namespace GenApi
