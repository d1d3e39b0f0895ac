#pragma once
#include <memory>

#include "genapi/INodeMap.h"

namespace GenApi {

// Owns the node map of one device and destroys it with itself.
class CNodeMapRef {
public:
    explicit CNodeMapRef(const gcstring &deviceName = "Device");
    ~CNodeMapRef();
    CNodeMapRef(const CNodeMapRef &) = delete;
    CNodeMapRef &operator=(const CNodeMapRef &) = delete;

    // Takes the node map. Throws RuntimeException "Node map already created"
    // when one is held, LogicalErrorException for a null map.
    void _Initialize(std::unique_ptr<INodeMap> nodeMap);
    // Connects the port under the port name; false when the description has
    // no port of that name. LogicalErrorException without a node map.
    bool _Connect(IPort *port, const gcstring &portName = "Device");
    // The node of that name, null when absent. LogicalErrorException without
    // a node map.
    INode *_GetNode(const gcstring &name) const;
    // The held node map, null when none.
    INodeMap *_Ptr() const { return nodeMap_.get(); }
    const gcstring &_GetDeviceName() const { return deviceName_; }
    // Destroys the held node map, if any.
    void _Destroy() { nodeMap_.reset(); }

private:
    INodeMap &Required() const;

    gcstring deviceName_;
    std::unique_ptr<INodeMap> nodeMap_;
};

}  // namespace GenApi
