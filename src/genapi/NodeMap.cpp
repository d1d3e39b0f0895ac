#include "genapi/NodeMap.h"

#include <libxml/parser.h>

#include <cstring>
#include <vector>

#include "genapi/BooleanNode.h"
#include "genapi/CategoryNode.h"
#include "genapi/CommandNode.h"
#include "genapi/DescriptionCheck.h"
#include "genapi/DescriptionTranslator.h"
#include "genapi/EnumerationNode.h"
#include "genapi/FloatNode.h"
#include "genapi/GenericException.h"
#include "genapi/IntegerNode.h"
#include "genapi/StringNode.h"

namespace vexo::genicam::genapi {
namespace {

using Guard = templates::platform::RecursiveMutex::Guard;

// The node kind of an interpreter node. An enumeration also answers as an
// integer, a string and a selector there, so it is tested first.
std::unique_ptr<Node> MakeNode(const NodeMap &map, ArvGcFeatureNode *node) {
    if (ARV_IS_GC_ENUM_ENTRY(node)) return std::make_unique<EnumEntryNode>(map, node);
    if (ARV_IS_GC_ENUMERATION(node)) return std::make_unique<EnumerationNode>(map, node);
    if (ARV_IS_GC_INTEGER(node)) return std::make_unique<IntegerNode>(map, node);
    if (ARV_IS_GC_FLOAT(node)) return std::make_unique<FloatNode>(map, node);
    if (ARV_IS_GC_STRING(node)) return std::make_unique<StringNode>(map, node);
    if (ARV_IS_GC_BOOLEAN(node)) return std::make_unique<BooleanNode>(map, node);
    if (ARV_IS_GC_COMMAND(node)) return std::make_unique<CommandNode>(map, node);
    if (ARV_IS_GC_CATEGORY(node)) return std::make_unique<CategoryNode>(map, node);
    return std::make_unique<Node>(map, node);
}

// Groups and structured registers hold feature nodes of their own.
bool HoldsFeatures(ArvDomNode *node) {
    const char *name = arv_dom_node_get_node_name(node);
    return name && (std::strcmp(name, "Group") == 0 || std::strcmp(name, "StructReg") == 0);
}

}  // namespace

NodeMap::NodeMap(const void *description, size_t size, GenApi::gcstring deviceName)
    : deviceName_(std::move(deviceName)) {
    // The XML library sets its global state up on first use; node maps made on several threads at once
    // would race for it, so it is set up once here before any description is read.
    static const bool xmlReady = (xmlInitParser(), true);
    (void)xmlReady;
    // One road for every description: translated, checked, interpreted.
    const std::optional<std::string> translated = DescriptionTranslator::Translate(description, size);
    if (translated) {
        description = translated->data();
        size = translated->size();
    }
    CheckedDescription checked = DescriptionCheck::Check(description, size);
    facts_ = std::move(checked.facts);
    cache_ = std::make_unique<RegisterCache>(facts_);
    device_ = PortDevice::Create(checked.text.data(), checked.text.size());
    if (!device_) throw RUNTIME_EXCEPTION("invalid GenICam description");
    PortDevice::UseCache(device_, cache_.get());
    genicam_ = PortDevice::Genicam(device_);
}

void NodeMap::InvalidateNodes() const {
    Guard guard(mutex_);
    cache_->Clear();
}

NodeMap::~NodeMap() {
    byName_.clear();
    nodes_.clear();
    PortDevice::Destroy(device_);
}

GenApi::INode *NodeMap::GetNode(const GenApi::gcstring &name) const { return NodeNamed(name.c_str()); }

Node *NodeMap::NodeNamed(const char *name) const {
    Guard guard(mutex_);
    // Names are resolved once: feature calls name the same few nodes again and again.
    if (auto known = byName_.find(std::string_view(name)); known != byName_.end()) return known->second;
    ArvGcNode *node = arv_gc_get_node(genicam_, name);
    Node *found = node && ARV_IS_GC_FEATURE_NODE(node) ? &NodeFor(node) : nullptr;
    if (found != nullptr) byName_.emplace(name, found);
    return found;
}

Node &NodeMap::NodeFor(ArvGcNode *node) const {
    Guard guard(mutex_);
    std::unique_ptr<Node> &slot = nodes_[node];
    if (!slot) {
        slot = MakeNode(*this, ARV_GC_FEATURE_NODE(node));
        slot->ResolveInterfaces();
    }
    return *slot;
}

void NodeMap::GetNodes(GenApi::NodeList_t &nodes) const {
    Guard guard(mutex_);
    nodes.clear();
    // Depth first in document order, without recursion: a description nests
    // groups as deep as it likes.
    std::vector<ArvDomNode *> pending;
    ArvDomElement *root = arv_dom_document_get_document_element(ARV_DOM_DOCUMENT(genicam_));
    for (ArvDomNode *child = arv_dom_node_get_last_child(ARV_DOM_NODE(root)); child;
         child = arv_dom_node_get_previous_sibling(child))
        pending.push_back(child);
    while (!pending.empty()) {
        ArvDomNode *node = pending.back();
        pending.pop_back();
        if (HoldsFeatures(node)) {
            for (ArvDomNode *child = arv_dom_node_get_last_child(node); child;
                 child = arv_dom_node_get_previous_sibling(child))
                pending.push_back(child);
            continue;
        }
        if (!ARV_IS_GC_FEATURE_NODE(node)) continue;
        // A node whose name the map resolves to another node (a duplicate
        // name) is not reachable by name and is left out.
        const char *name = arv_gc_feature_node_get_name(ARV_GC_FEATURE_NODE(node));
        if (name && arv_gc_get_node(genicam_, name) == ARV_GC_NODE(node)) nodes.push_back(&NodeFor(ARV_GC_NODE(node)));
    }
}

bool NodeMap::Connect(GenApi::IPort *port, const GenApi::gcstring &portName) {
    if (!port) throw LOGICAL_ERROR_EXCEPTION("Cannot connect a null port as '%s'", portName.c_str());
    Guard guard(mutex_);
    ArvGcNode *node = arv_gc_get_node(genicam_, portName.c_str());
    if (!node || !ARV_IS_GC_PORT(node)) return false;
    // Every port node of the description reaches the one device.
    PortDevice::Connect(device_, port);
    return true;
}

}  // namespace vexo::genicam::genapi
