#pragma once
#include <cstdint>

namespace vexo::templates::platform {

// Kernel thread id of the calling thread, as shown in log records.
uint32_t CurrentThreadId();

}  // namespace vexo::templates::platform
