#pragma once
// Private to src/genapi: the node kinds over the interpreter. Includes Aravis.
#include <arv.h>

#include <array>
#include <optional>
#include <vector>

#include "genapi/INode.h"
#include "genapi/InterpreterError.h"
#include "genapi/NodeMap.h"
#include "platform/RecursiveMutex.h"

namespace vexo::genicam::genapi {

// A feature node of the interpreter as an INode and IValue. The node kinds
// derive from it; nodes of no value kind (registers, ports) are plain Nodes.
class Node : public virtual GenApi::INode, public virtual GenApi::IValue {
public:
    Node(const NodeMap &map, ArvGcFeatureNode *node) : map_(map), node_(node) {}

    GenApi::gcstring GetName() const override;
    GenApi::gcstring GetDisplayName() const override;
    GenApi::gcstring GetToolTip() const override;
    GenApi::gcstring GetDescription() const override;
    GenApi::EVisibility GetVisibility() const override;
    // NI when the node or a node it hands its value to is not implemented,
    // NA when one of them is not available, then the interpreter's read/write
    // mode with a lock on any of them taking away writing.
    GenApi::EAccessMode GetAccessMode() const override;
    GenApi::INode *GetNode() override { return this; }

    // Works out once what Interface answers; the map does so under its lock
    // as it makes the node.
    void ResolveInterfaces();

protected:
    void *Interface(Kind kind) override;

private:
    void *CastTo(Kind kind);

protected:
    using Guard = templates::platform::RecursiveMutex::Guard;
    templates::platform::RecursiveMutex &Mutex() const { return map_.Mutex(); }

    // AccessException unless the node may be read / written now. This and the
    // helpers below run with the map's lock held by their caller: a read
    // takes it once.
    void RequireReadable() const;
    void RequireWritable() const;
    // After a write through this node: registers whose invalidators hang on
    // a node of its chain are forgotten.
    void NoteWritten() const;

    // One interpreter call under the map's lock, raising what it reports;
    // Read first requires a readable node.
    template <class Function, class... Arguments>
    auto Query(Function function, Arguments... arguments) const {
        Guard guard(Mutex());
        return Checked(function, arguments...);
    }
    template <class Function, class... Arguments>
    auto Read(Function function, Arguments... arguments) const {
        Guard guard(Mutex());
        RequireReadable();
        return Checked(function, arguments...);
    }

    // The node objects of a list of interpreter feature nodes, copied at once.
    void CollectNodes(const GSList *list, GenApi::FeatureList_t &features) const;
    // The features this node selects (empty when it selects none).
    void CollectSelected(GenApi::FeatureList_t &features) const;
    // Whether the node has a child element of that kind (Inc, pInc...).
    bool HasProperty(ArvGcPropertyNodeType type) const;

    const NodeMap &map_;
    ArvGcFeatureNode *node_;

private:
    // The node and, transitively, the nodes it hands its value to: pValue and
    // its indexed forms, the register of a structure entry. Worked out once.
    const std::vector<ArvGcFeatureNode *> &Chain() const;
    // True when every node of the chain is implemented (available).
    bool ChainImplemented() const;
    bool ChainAvailable() const;

    // The interpreter's read/write mode of the node, which its own and its
    // registers' AccessMode and ImposedAccessMode elements fix for the life
    // of the description. Working it out walks the node's links and was the
    // largest part of checking a feature's access on every read.
    ArvGcAccessMode DescribedAccessMode() const;

    mutable std::optional<ArvGcAccessMode> describedAccessMode_;
    mutable std::optional<std::vector<ArvGcFeatureNode *>> chain_;
    std::array<void *, static_cast<size_t>(Kind::Count)> interfaces_{};
    // Whether any node of the chain has pIsImplemented, pIsAvailable or
    // pIsLocked; without them its access never changes, and a read need not
    // ask the interpreter.
    mutable bool chainConditional_ = true;
};

// The layer's name of an interpreter representation.
GenApi::ERepresentation RepresentationOf(ArvGcRepresentation representation);

}  // namespace vexo::genicam::genapi
