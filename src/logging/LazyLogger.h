#pragma once
#include <atomic>

#include "logging/Logger.h"
#include "logging/Logging.h"

namespace vexo::tools::logging {

// An object's logger, fetched from the Logging singleton on first use and
// kept. Any thread may ask; two first uses at once fetch the same logger.
class LazyLogger {
public:
    Logger *Get(const char *name) {
        Logger *logger = logger_.load(std::memory_order_acquire);
        if (logger == nullptr) {
            logger = Logging::Instance()->GetLogger(name);
            logger_.store(logger, std::memory_order_release);
        }
        return logger;
    }

private:
    std::atomic<Logger *> logger_{nullptr};
};

}  // namespace vexo::tools::logging
