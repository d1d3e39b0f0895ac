#include "genapi/CommandNode.h"

#include "genapi/InterpreterError.h"

namespace vexo::genicam::genapi {

void CommandNode::Execute() {
    Guard guard(Mutex());
    RequireWritable();
    Checked(arv_gc_command_execute, ARV_GC_COMMAND(node_));
    // What a command does to the camera's registers is not described.
    map_.Cache().Clear();
}

bool CommandNode::IsDone() {
    Guard guard(Mutex());
    ArvGcPropertyNode *target = Property(ARV_GC_PROPERTY_NODE_TYPE_P_VALUE);
    ArvGcPropertyNode *commandValue = Property(ARV_GC_PROPERTY_NODE_TYPE_COMMAND_VALUE);
    if (!commandValue) commandValue = Property(ARV_GC_PROPERTY_NODE_TYPE_P_COMMAND_VALUE);
    ArvGcNode *targetNode = target ? arv_gc_property_node_get_linked_node(target) : nullptr;
    // Without a register to watch, or one that cannot be read back, the
    // command counts as done: a caller polling for completion must not wait forever.
    if (!targetNode || !commandValue || !ARV_IS_GC_FEATURE_NODE(targetNode)) return true;
    if (!GenApi::IsReadable(map_.NodeFor(targetNode).GetAccessMode())) return true;
    // Completion is the camera's news: never a kept value.
    RegisterCache::Bypass bypass(map_.Cache());
    const gint64 current = Checked(arv_gc_property_node_get_int64, target);
    return current != Checked(arv_gc_property_node_get_int64, commandValue);
}

ArvGcPropertyNode *CommandNode::Property(ArvGcPropertyNodeType type) const {
    for (ArvDomNode *child = arv_dom_node_get_first_child(ARV_DOM_NODE(node_)); child;
         child = arv_dom_node_get_next_sibling(child)) {
        if (ARV_IS_GC_PROPERTY_NODE(child) && arv_gc_property_node_get_node_type(ARV_GC_PROPERTY_NODE(child)) == type)
            return ARV_GC_PROPERTY_NODE(child);
    }
    return nullptr;
}

}  // namespace vexo::genicam::genapi
