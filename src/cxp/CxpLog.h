#pragma once
#include <cstdint>
#include <string>

#include "logging/Logger.h"

namespace vexo::genicam::cxp {

// Records of the CoaXPress controller, "thread-id=<id><context>|<text>".
// Texts of hot paths are built only when their level is enabled (Lazy).
class CxpLog {
public:
    explicit CxpLog(tools::logging::Logger *logger) : logger_(logger) {}

    bool On(uint32_t level) const { return logger_->IsEnabled(level); }
    void Write(uint32_t level, const std::string &text) const { Write(level, std::string(), text); }
    void Write(uint32_t level, const std::string &context, const std::string &text) const;
    template <class MakeText>
    void Lazy(uint32_t level, MakeText &&makeText) const {
        if (On(level)) Write(level, makeText());
    }

    tools::logging::Logger *Logger() const { return logger_; }

private:
    tools::logging::Logger *logger_;
};

// "0x" and lower-case hexadecimal digits.
std::string Hex(uint64_t value);
// The ports of a mask in ascending order, "0, 2, 3".
std::string PortList(uint32_t mask);

}  // namespace vexo::genicam::cxp
