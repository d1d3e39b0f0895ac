#pragma once

#include "genapi/INode.h"
#include "genapi/IPort.h"

namespace GenApi {

// The nodes of one camera description. All calls on the map and on its nodes
// are serialised by one recursive lock of the map, so threads may share it.
class INodeMap {
public:
    virtual ~INodeMap() = default;

    // The node of that name; null when there is none.
    virtual INode *GetNode(const gcstring &name) const = 0;
    // Every feature node of the description once, in document order.
    virtual void GetNodes(NodeList_t &nodes) const = 0;
    virtual gcstring GetDeviceName() const = 0;
    // Routes the description's register access to the port (not owned; it
    // must outlive its use). False when the description has no port of that
    // name. Until a port is connected, register access raises AccessException.
    virtual bool Connect(IPort *port, const gcstring &portName) = 0;
    bool Connect(IPort *port) { return Connect(port, "Device"); }
    // Forgets every register value kept from the camera: the next read of
    // each goes to the camera. For writes that bypass the node map.
    virtual void InvalidateNodes() const = 0;
};

}  // namespace GenApi
