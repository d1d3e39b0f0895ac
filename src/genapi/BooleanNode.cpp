#include "genapi/BooleanNode.h"

#include "genapi/InterpreterError.h"

namespace vexo::genicam::genapi {

bool BooleanNode::GetValue() { return Read(arv_gc_boolean_get_value, Boolean()) != FALSE; }

void BooleanNode::SetValue(bool value, bool) {
    Guard guard(Mutex());
    RequireWritable();
    Checked(arv_gc_boolean_set_value, Boolean(), static_cast<gboolean>(value ? TRUE : FALSE));
    NoteWritten();
}

}  // namespace vexo::genicam::genapi
