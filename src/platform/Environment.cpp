#include "platform/Environment.h"

#include <cstdlib>
#include <mutex>

namespace vexo::templates::platform {

namespace {
std::mutex &EnvironmentMutex() {
    static std::mutex mutex;
    return mutex;
}
}  // namespace

std::optional<std::string> GetEnvironment(const char *name) {
    std::lock_guard<std::mutex> lock(EnvironmentMutex());
    const char *value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

void SetEnvironment(const char *name, const std::string &value) {
    std::lock_guard<std::mutex> lock(EnvironmentMutex());
    ::setenv(name, value.c_str(), 1);
}

void UnsetEnvironment(const char *name) {
    std::lock_guard<std::mutex> lock(EnvironmentMutex());
    ::unsetenv(name);
}

}  // namespace vexo::templates::platform
