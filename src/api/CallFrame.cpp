#include "api/CallFrame.h"

#include "api/LibraryLogger.h"
#include "board/BoardLibraries.h"
#include "platform/ThreadId.h"

namespace vexo::genicam {

using tools::logging::kLevelTrace;
using tools::logging::Logger;

namespace {
std::string ThreadIdText() { return std::to_string(templates::platform::CurrentThreadId()); }

// Exported calls running on this thread, the application's own outermost.
thread_local uint32_t t_exportedCallDepth = 0;
}  // namespace

ExportedCallScope::ExportedCallScope() {
    if (t_exportedCallDepth++ == 0) tools::logging::ForgetLastErrorRecord();
}

ExportedCallScope::~ExportedCallScope() { --t_exportedCallDepth; }

CallTracer::CallTracer(Logger *logger, const char *sourceFile, int sourceLine, const char *function,
                       std::string parameters, ContextFunction context)
    : logger_(logger),
      site_(std::string("source-file=") + sourceFile + ",source-line=" + std::to_string(sourceLine) +
            ",thread-id=" + ThreadIdText()),
      function_(function),
      context_(std::move(context)) {
    std::string record = site_ + Context() + "|" + "Entering " + function_;
    if (!parameters.empty()) record += "; " + parameters;
    logger_->Write(kLevelTrace, record);
}

CallTracer::~CallTracer() { logger_->Write(kLevelTrace, site_ + Context() + "|" + "Leaving " + function_); }

CallFrameResult::CallFrameResult(const char *sourceFile, int sourceLine, const char *function,
                                 ContextFunction context, const ParameterFunction &parameters)
    : context_(std::move(context)) {
    Logger *logger = LibraryLogger();
    if (!logger->IsEnabled(kLevelTrace)) return;
    tracer_ = std::make_unique<CallTracer>(logger, sourceFile, sourceLine, function,
                                           parameters ? parameters() : std::string(), context_);
}

CallFrameResult::CallFrameResult(ContextFunction context) : context_(std::move(context)) {}

CallFrameResult::~CallFrameResult() {
    if (tracer_) tracer_->AppendDetail(",return=" + std::to_string(result_));
}

void CallFrameResult::AppendHandle(const char *typeName, const void *handle) {
    if (tracer_) tracer_->AppendDetail(HandleItem(typeName, handle));
}

void CallFrameResult::LogRecord(uint32_t level, const std::string &message) const {
    WriteRecord(LibraryLogger(), level, context_, message);
}

std::string SessionItems(const GrabberSession *session) {
    if (session == nullptr) return {};
    const uint64_t device = SessionDeviceHandle(session);
    return ",board-index=" + std::to_string(QueryBoardIndex(device, 0)) +
           ",board-serial=" + std::to_string(QueryBoardInfo(device, "board/serial")) +
           ",board-type=" + std::to_string(QueryBoardInfo(device, "board/type"));
}

}  // namespace vexo::genicam
