#pragma once
// The record form every part of the library writes: "thread-id=<id><items>|<message>",
// and the context items that go between the thread id and the message.
#include <cstdint>
#include <functional>
#include <string>

#include "logging/Logger.h"

namespace vexo::tools::logging {

// Renders a record's context items (",name=value"...), only when the record is written.
using ContextFunction = std::function<std::string()>;

// "thread-id=" + thread id + context + "|" + message, at the given level when enabled.
// An error record (level 5) also becomes the thread's last error record, whether
// the logger passes it or not.
void WriteRecord(Logger *logger, uint32_t level, const ContextFunction &context, const std::string &message);

// The calling thread's last error record; empty when none was written since
// it was last forgotten. Valid until the thread writes or forgets one.
const std::string &LastErrorRecord();
void ForgetLastErrorRecord();

std::string PortMaskItem(uint32_t portMask);
std::string PortIndexItem(uint32_t portIndex);
std::string IndexItem(uint32_t index);
// ",handle=(<type>)<address>"
std::string HandleItem(const char *typeName, const void *handle);

}  // namespace vexo::tools::logging
