#pragma once
#include <cstdint>

namespace vexo::tools::logging {

// The text of a status code; "Unknown Error." for a code without one. The texts
// live as long as the library.
const char *StatusDescription(int32_t status);

}  // namespace vexo::tools::logging
