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

// One node of a node map, owned by the node map: valid as long as the map.
// Every call on a node is serialised with every other call on its node map.
class INode : public virtual IBase {
public:
    virtual gcstring GetName() const = 0;
};

// A node with a value of some kind; the node kinds derive from it.
class IValue : public virtual IBase {
public:
    virtual INode *GetNode() = 0;
};

}  // namespace GenApi
