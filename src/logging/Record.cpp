#include "logging/Record.h"

#include <cstdio>

#include "platform/ThreadId.h"

namespace vexo::tools::logging {

namespace {

// One text per thread, so that no thread sees another's errors and none waits
// for a lock to keep its own.
std::string &ThreadLastError() {
    thread_local std::string text;
    return text;
}

}  // namespace

void WriteRecord(Logger *logger, uint32_t level, const ContextFunction &context, const std::string &message) {
    const bool enabled = logger->IsEnabled(level);
    const bool error = level == kLevelError;
    if (!enabled && !error) return;
    std::string record = "thread-id=" + std::to_string(templates::platform::CurrentThreadId()) +
                         (context ? context() : std::string()) + "|" + message;
    if (enabled) logger->Write(level, record);
    if (error) ThreadLastError() = std::move(record);
}

const std::string &LastErrorRecord() { return ThreadLastError(); }

void ForgetLastErrorRecord() { ThreadLastError().clear(); }

std::string PortMaskItem(uint32_t portMask) { return ",port-mask=" + std::to_string(portMask); }

std::string PortIndexItem(uint32_t portIndex) { return ",port-index=" + std::to_string(portIndex); }

std::string IndexItem(uint32_t index) { return ",index=" + std::to_string(index); }

std::string HandleItem(const char *typeName, const void *handle) {
    char address[32];
    std::snprintf(address, sizeof address, "%p", handle);
    return std::string(",handle=(") + typeName + ")" + address;
}

}  // namespace vexo::tools::logging
