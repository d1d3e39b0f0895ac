#pragma once
#include <atomic>
#include <cstdint>
#include <string>

namespace vexo::tools::logging {

class Logging;

// Record levels: 1 call trace, 2 progress details, 3 information,
// 4 failures the operation survives, 5 errors. Threshold 7 passes nothing.
enum LogLevel : uint32_t {
    kLevelTrace = 1,
    kLevelDetail = 2,
    kLevelInfo = 3,
    kLevelWarning = 4,
    kLevelError = 5,
    kLevelSilent = 7,
};

// A named logger. Owned by the Logging singleton; callers keep the pointer
// until the library goes down. Ask IsEnabled before building a record's text.
class Logger {
public:
    Logger(Logging *owner, uint64_t identity, uint32_t threshold)
        : owner_(owner), identity_(identity), threshold_(threshold) {}
    virtual ~Logger() = default;

    bool IsEnabled(uint32_t level) const { return level >= threshold_.load(std::memory_order_relaxed); }
    // Hands the record to the relay; does not filter.
    void Write(uint32_t level, const std::string &text, uint32_t value = 0, void *pointer = nullptr) const;
    void SetThreshold(uint32_t level) { threshold_.store(level, std::memory_order_relaxed); }

    uint64_t Identity() const { return identity_; }
    uint32_t Threshold() const { return threshold_.load(std::memory_order_relaxed); }

private:
    Logging *owner_;
    uint64_t identity_;
    std::atomic<uint32_t> threshold_;
};

}  // namespace vexo::tools::logging
