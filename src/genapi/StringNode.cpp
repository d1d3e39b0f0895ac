#include "genapi/StringNode.h"

#include <cinttypes>

#include "genapi/GenericException.h"
#include "genapi/InterpreterError.h"

namespace vexo::genicam::genapi {

GenApi::gcstring StringNode::GetValue() {
    Guard guard(Mutex());
    // The interpreter's text lives until its next access; it is copied under the lock.
    return GenApi::gcstring(Read(arv_gc_string_get_value, String()));
}

void StringNode::SetValue(const GenApi::gcstring &value, bool verify) {
    Guard guard(Mutex());
    RequireWritable();
    if (verify) {
        const int64_t maximum = GetMaxLength();
        if (static_cast<int64_t>(value.size()) > maximum) {
            throw OUT_OF_RANGE_EXCEPTION("Text of %zu characters is longer than the %" PRId64
                                         " characters node '%s' holds",
                                         value.size(), maximum, GetName().c_str());
        }
    }
    Checked(arv_gc_string_set_value, String(), value.c_str());
    NoteWritten();
}

int64_t StringNode::GetMaxLength() { return Query(arv_gc_string_get_max_length, String()); }

}  // namespace vexo::genicam::genapi
