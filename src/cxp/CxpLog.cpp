#include "cxp/CxpLog.h"

#include <cstdio>

#include "logging/Record.h"

namespace vexo::genicam::cxp {

using tools::logging::ContextFunction;

void CxpLog::Write(uint32_t level, const std::string &context, const std::string &text) const {
    // An error record is also the thread's last error text, which is kept whatever the log level.
    if (!On(level) && level != tools::logging::kLevelError) return;
    WriteRecord(logger_, level, context.empty() ? ContextFunction() : [&context] { return context; }, text);
}

std::string Hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

std::string PortList(uint32_t mask) {
    std::string list;
    for (uint32_t port = 0; port < 32; ++port) {
        if (!(mask >> port & 1)) continue;
        if (!list.empty()) list += ", ";
        list += std::to_string(port);
    }
    return list;
}

}  // namespace vexo::genicam::cxp
