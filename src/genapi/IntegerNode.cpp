#include "genapi/IntegerNode.h"

#include <cinttypes>

#include "genapi/GenericException.h"
#include "genapi/InterpreterError.h"

namespace vexo::genicam::genapi {

int64_t IntegerNode::GetValue() { return Read(arv_gc_integer_get_value, Integer()); }

void IntegerNode::SetValue(int64_t value, bool verify) {
    Guard guard(Mutex());
    RequireWritable();
    if (verify) VerifyInRange(value);
    Checked(arv_gc_integer_set_value, Integer(), static_cast<gint64>(value));
    NoteWritten();
}

int64_t IntegerNode::GetMin() { return Query(arv_gc_integer_get_min, Integer()); }

int64_t IntegerNode::GetMax() { return Query(arv_gc_integer_get_max, Integer()); }

int64_t IntegerNode::GetInc() { return Query(arv_gc_integer_get_inc, Integer()); }

GenApi::ERepresentation IntegerNode::GetRepresentation() {
    Guard guard(Mutex());
    return RepresentationOf(arv_gc_integer_get_representation(Integer()));
}

GenApi::gcstring IntegerNode::GetUnit() {
    Guard guard(Mutex());
    return arv_gc_integer_get_unit(Integer());
}

void IntegerNode::VerifyInRange(int64_t value) {
    const int64_t minimum = GetMin();
    const int64_t maximum = GetMax();
    if (value < minimum || value > maximum) {
        throw OUT_OF_RANGE_EXCEPTION("Value %" PRId64 " of node '%s' must be between %" PRId64 " and %" PRId64, value,
                                     GetName().c_str(), minimum, maximum);
    }
    const int64_t increment = GetInc();
    // value >= minimum, so the distance fits in 64 unsigned bits.
    const uint64_t distance = static_cast<uint64_t>(value) - static_cast<uint64_t>(minimum);
    if (increment > 1 && distance % static_cast<uint64_t>(increment) != 0) {
        throw OUT_OF_RANGE_EXCEPTION("Value %" PRId64 " of node '%s' must be %" PRId64 " plus a multiple of %" PRId64,
                                     value, GetName().c_str(), minimum, increment);
    }
}

bool IntegerNode::IsSelector() {
    Guard guard(Mutex());
    return ARV_IS_GC_SELECTOR(node_) && arv_gc_selector_is_selector(ARV_GC_SELECTOR(node_));
}

void IntegerNode::GetSelectedFeatures(GenApi::FeatureList_t &features) {
    if (ARV_IS_GC_SELECTOR(node_)) {
        CollectSelected(features);
    } else {
        features.clear();
    }
}

}  // namespace vexo::genicam::genapi
