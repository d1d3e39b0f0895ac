#include "genapi/FloatNode.h"

#include "genapi/GenericException.h"
#include "genapi/InterpreterError.h"

namespace vexo::genicam::genapi {

double FloatNode::GetValue() { return Read(arv_gc_float_get_value, Float()); }

void FloatNode::SetValue(double value, bool verify) {
    Guard guard(Mutex());
    RequireWritable();
    if (verify) {
        const double minimum = GetMin();
        const double maximum = GetMax();
        // Written so that a NaN fails too.
        if (!(value >= minimum && value <= maximum)) {
            throw OUT_OF_RANGE_EXCEPTION("Value %g of node '%s' must be between %g and %g", value, GetName().c_str(),
                                         minimum, maximum);
        }
    }
    Checked(arv_gc_float_set_value, Float(), value);
    NoteWritten();
}

double FloatNode::GetMin() { return Query(arv_gc_float_get_min, Float()); }

double FloatNode::GetMax() { return Query(arv_gc_float_get_max, Float()); }

bool FloatNode::HasInc() {
    Guard guard(Mutex());
    return HasProperty(ARV_GC_PROPERTY_NODE_TYPE_INCREMENT) || HasProperty(ARV_GC_PROPERTY_NODE_TYPE_P_INCREMENT);
}

// Without a step the interpreter answers its smallest positive double; the
// layer answers 0 instead, which no caller takes for a step.
double FloatNode::GetInc() {
    Guard guard(Mutex());
    return HasInc() ? Checked(arv_gc_float_get_inc, Float()) : 0.0;
}

GenApi::ERepresentation FloatNode::GetRepresentation() {
    Guard guard(Mutex());
    return RepresentationOf(arv_gc_float_get_representation(Float()));
}

GenApi::gcstring FloatNode::GetUnit() {
    Guard guard(Mutex());
    return arv_gc_float_get_unit(Float());
}

}  // namespace vexo::genicam::genapi
