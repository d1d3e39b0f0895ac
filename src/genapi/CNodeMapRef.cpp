#include "genapi/CNodeMapRef.h"

#include "genapi/GenericException.h"

namespace GenApi {

CNodeMapRef::CNodeMapRef(const gcstring &deviceName) : deviceName_(deviceName) {}

CNodeMapRef::~CNodeMapRef() = default;

void CNodeMapRef::_Initialize(std::unique_ptr<INodeMap> nodeMap) {
    if (!nodeMap) throw LOGICAL_ERROR_EXCEPTION("No node map to take for device '%s'", deviceName_.c_str());
    if (nodeMap_) throw RUNTIME_EXCEPTION("Node map already created");
    nodeMap_ = std::move(nodeMap);
}

bool CNodeMapRef::_Connect(IPort *port, const gcstring &portName) { return Required().Connect(port, portName); }

INode *CNodeMapRef::_GetNode(const gcstring &name) const { return Required().GetNode(name); }

INodeMap &CNodeMapRef::Required() const {
    if (!nodeMap_) throw LOGICAL_ERROR_EXCEPTION("No node map created for device '%s'", deviceName_.c_str());
    return *nodeMap_;
}

}  // namespace GenApi
