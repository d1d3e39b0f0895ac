#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "logging/Logger.h"
#include "logging/Record.h"
#include "nox_genicam.h"

namespace vexo::genicam {

// A call's handle and index arguments as ",name=value" items, rendered when a record is written.
using tools::logging::ContextFunction;
using tools::logging::HandleItem;
using tools::logging::IndexItem;
using tools::logging::PortIndexItem;
using tools::logging::PortMaskItem;
using tools::logging::WriteRecord;
using ParameterFunction = std::function<std::string()>;

// Marks one exported call on the calling thread for as long as it runs. The
// outermost one (the application's call, not one the library makes of its own
// functions) forgets the thread's last error record, which then tells about
// this call alone. Every exported function has one, most through their frame.
class ExportedCallScope {
public:
    ExportedCallScope();
    ~ExportedCallScope();
    ExportedCallScope(const ExportedCallScope &) = delete;
    ExportedCallScope &operator=(const ExportedCallScope &) = delete;
};

// Writes the Entering record of one exported call at construction and the
// Leaving record at destruction. Exists only while level 1 is enabled.
class CallTracer {
public:
    CallTracer(tools::logging::Logger *logger, const char *sourceFile, int sourceLine, const char *function,
               std::string parameters, ContextFunction context);
    ~CallTracer();

    CallTracer(const CallTracer &) = delete;
    CallTracer &operator=(const CallTracer &) = delete;

    // Appends to the site text shown in the Leaving record.
    void AppendDetail(const std::string &detail) { site_ += detail; }

private:
    std::string Context() const { return context_ ? context_() : std::string(); }

    tools::logging::Logger *logger_;
    std::string site_;
    const char *function_;
    ContextFunction context_;
};

// The frame of one exported call: the tracer (when tracing) and the status
// the call returns. Every return path goes through Return.
class CallFrameResult {
public:
    CallFrameResult(const char *sourceFile, int sourceLine, const char *function, ContextFunction context,
                    const ParameterFunction &parameters = {});
    // A frame without trace: error records only.
    explicit CallFrameResult(ContextFunction context);
    ~CallFrameResult();

    CallFrameResult(const CallFrameResult &) = delete;
    CallFrameResult &operator=(const CallFrameResult &) = delete;

    int32_t Return(int32_t status) {
        result_ = status;
        return status;
    }
    int32_t Result() const { return result_; }

    // ",handle=(<type>)<address>" in the Leaving record of a call that created a handle.
    void AppendHandle(const char *typeName, const void *handle);

    // An error record at level 5 ("thread-id=" ... "|" message).
    void LogError(const std::string &message) const { LogRecord(tools::logging::kLevelError, message); }
    void LogRecord(uint32_t level, const std::string &message) const;

private:
    ExportedCallScope scope_;
    std::unique_ptr<CallTracer> tracer_;
    ContextFunction context_;
    int32_t result_ = 0;
};

// ",board-index=",",board-serial=",",board-type=" of the session's board, read
// from the board library; empty for a null session.
std::string SessionItems(const GrabberSession *session);

}  // namespace vexo::genicam

#define NOX_CALL_FRAME(frame, function, ...) \
    ::vexo::genicam::CallFrameResult frame(__FILE__, __LINE__, function, __VA_ARGS__)
