#pragma once
// Private to src/genapi: the node map over the interpreter. Includes Aravis.
#include <arv.h>

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "genapi/DescriptionFacts.h"
#include "genapi/INodeMap.h"
#include "genapi/PortDevice.h"
#include "genapi/RegisterCache.h"
#include "platform/RecursiveMutex.h"

namespace vexo::genicam::genapi {

class Node;

// One interpreted description and the node objects handed out for it. Node
// objects are made on first use and live as long as the map. Every call on
// the map or its nodes holds the map's recursive lock, so a port called back
// during an access may use the map again.
class NodeMap final : public GenApi::INodeMap {
public:
    // Translates a schema 1.0 description, checks it and interprets it.
    // Throws InvalidDescriptionException with the reason when the check
    // refuses it, RuntimeException "invalid GenICam description" when the
    // interpreter does.
    NodeMap(const void *description, size_t size, GenApi::gcstring deviceName);
    ~NodeMap() override;
    NodeMap(const NodeMap &) = delete;
    NodeMap &operator=(const NodeMap &) = delete;

    GenApi::INode *GetNode(const GenApi::gcstring &name) const override;
    void GetNodes(GenApi::NodeList_t &nodes) const override;
    GenApi::gcstring GetDeviceName() const override { return deviceName_; }
    using GenApi::INodeMap::Connect;
    bool Connect(GenApi::IPort *port, const GenApi::gcstring &portName) override;
    void InvalidateNodes() const override;

    // The node object of an interpreter node of this map (made on first use).
    Node &NodeFor(ArvGcNode *node) const;
    // The node object of a feature name; null when the name is no feature.
    Node *NodeNamed(const char *name) const;

    templates::platform::RecursiveMutex &Mutex() const { return mutex_; }
    RegisterCache &Cache() const { return *cache_; }
    ArvGc *Genicam() const { return genicam_; }

private:
    GenApi::gcstring deviceName_;
    DescriptionFacts facts_;
    std::unique_ptr<RegisterCache> cache_;
    NoxPortDevice *device_ = nullptr;
    ArvGc *genicam_ = nullptr;
    mutable templates::platform::RecursiveMutex mutex_;
    mutable std::unordered_map<ArvGcNode *, std::unique_ptr<Node>> nodes_;
    // Names asked for so far, looked up without building a string.
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view name) const { return std::hash<std::string_view>()(name); }
    };
    mutable std::unordered_map<std::string, Node *, NameHash, std::equal_to<>> byName_;
};

}  // namespace vexo::genicam::genapi
