#include "genapi/InterpreterLog.h"

#include <arv.h>
#include <glib.h>

#include <mutex>

#include "logging/LazyLogger.h"
#include "logging/Record.h"

namespace vexo::genicam::genapi {
namespace {

constexpr const char *kLoggerName = "vexo.genicam.GenApi";

thread_local int t_depth = 0;
thread_local std::string t_complaint;

tools::logging::LazyLogger &Logger() {
    static tools::logging::LazyLogger logger;
    return logger;
}

void OnGLibMessage(const gchar *domain, GLogLevelFlags level, const gchar *message, gpointer data) {
    if (t_depth == 0) {
        g_log_default_handler(domain, level, message, data);
        return;
    }
    const std::string text = std::string("Interpreter: ") + (message != nullptr ? message : "");
    if (t_complaint.empty()) t_complaint = text;
    tools::logging::WriteRecord(Logger().Get(kLoggerName), tools::logging::kLevelError, {}, text);
}

}  // namespace

InterpreterLog::Scope::Scope() {
    if (t_depth++ == 0) t_complaint.clear();
}

InterpreterLog::Scope::~Scope() { --t_depth; }

const std::string &InterpreterLog::Scope::Complaint() const { return t_complaint; }

void InterpreterLog::Install() {
    static std::once_flag once;
    std::call_once(once, [] {
        // The interpreter logs without a domain of its own; the type checks
        // of its casts log under GLib's.
        const auto levels = static_cast<GLogLevelFlags>(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION);
        for (const char *domain : {static_cast<const char *>(nullptr), "GLib", "GLib-GObject"})
            g_log_set_handler(domain, levels, OnGLibMessage, nullptr);
        arv_debug_enable("all:0");
    });
}

}  // namespace vexo::genicam::genapi
