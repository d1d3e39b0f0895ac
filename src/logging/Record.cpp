#include "logging/Record.h"

#include <cstdio>

#include "platform/ThreadId.h"

namespace vexo::tools::logging {

void WriteRecord(Logger *logger, uint32_t level, const ContextFunction &context, const std::string &message) {
    if (!logger->IsEnabled(level)) return;
    logger->Write(level, "thread-id=" + std::to_string(templates::platform::CurrentThreadId()) +
                             (context ? context() : std::string()) + "|" + message);
}

std::string PortMaskItem(uint32_t portMask) { return ",port-mask=" + std::to_string(portMask); }

std::string PortIndexItem(uint32_t portIndex) { return ",port-index=" + std::to_string(portIndex); }

std::string IndexItem(uint32_t index) { return ",index=" + std::to_string(index); }

std::string HandleItem(const char *typeName, const void *handle) {
    char address[32];
    std::snprintf(address, sizeof address, "%p", handle);
    return std::string(",handle=(") + typeName + ")" + address;
}

}  // namespace vexo::tools::logging
