#pragma once
#include <optional>
#include <string>

namespace vexo::templates::platform {

// The process environment, read and changed under one process-wide mutex of
// the library (the C library's own calls are not safe against each other).
std::optional<std::string> GetEnvironment(const char *name);
void SetEnvironment(const char *name, const std::string &value);
void UnsetEnvironment(const char *name);

}  // namespace vexo::templates::platform
