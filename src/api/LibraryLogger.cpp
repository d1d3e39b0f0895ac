#include "api/LibraryLogger.h"

#include <atomic>

#include "logging/LoggerNames.h"
#include "logging/Logging.h"

namespace vexo::genicam {

namespace {
std::atomic<tools::logging::Logger *> g_libraryLogger{nullptr};
}  // namespace

tools::logging::Logger *LibraryLogger() {
    tools::logging::Logger *logger = g_libraryLogger.load(std::memory_order_acquire);
    if (logger != nullptr) return logger;
    logger = tools::logging::Logging::Instance()->GetLogger(tools::logging::names::kLibrary);
    g_libraryLogger.store(logger, std::memory_order_release);
    return logger;
}

void ClearLibraryLoggerCache() { g_libraryLogger.store(nullptr, std::memory_order_release); }

}  // namespace vexo::genicam
