#pragma once
// Private to src/genapi.
#include <cstddef>

namespace vexo::genicam::genapi {

// True when the bytes are a well-formed XML document without a document type
// declaration whose root element is RegisterDescription. The interpreter
// recovers from broken XML with warnings on stderr and a partial node map,
// and would expand what a document type declares; such descriptions are
// refused before it sees them.
bool IsWellFormedDescription(const void *description, size_t size);

}  // namespace vexo::genicam::genapi
