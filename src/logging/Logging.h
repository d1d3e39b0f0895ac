#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>

#include "logging/Logger.h"
#include "logging/RelayInterface.h"
#include "platform/DynamicLibrary.h"
#include "platform/GuardedSingleton.h"
#include "platform/ReadWriteLock.h"

namespace vexo::tools::logging {

// The process's loggers and the binding to the log relay. Without a relay
// every name yields the silent default logger and nothing is written.
class Logging : public templates::patterns::GuardedSingleton<Logging> {
public:
    // Never null; the same Logger for names the relay maps to one identity.
    Logger *GetLogger(const char *name);
    bool IsRelayAttached() const { return descriptor_.load(std::memory_order_acquire) != nullptr; }

    // Binds to a relay's descriptor (the initialisation hook does this with the
    // relay library of the installation folder).
    void AttachRelay(const RelayDescriptor *descriptor);

    // The singleton is built by Instance(); an object built directly binds to
    // no relay until AttachRelay is called.
    Logging();
    ~Logging() override;

private:
    friend class Logger;
    friend class templates::patterns::GuardedSingleton<Logging>;

    void OnInitialize() override;
    void Write(const Logger &logger, uint32_t level, const std::string &text, uint32_t value, void *pointer);

    static void OnRelayDetach();
    static void OnRelayThreshold(uint64_t identity, uint32_t threshold);

    std::unique_ptr<Logger> defaultLogger_;
    RelayRegisterFunction register_ = nullptr;
    RelayWriteFunction write_ = nullptr;
    std::atomic<const RelayDescriptor *> descriptor_{nullptr};
    std::map<uint64_t, std::unique_ptr<Logger>> loggers_;
    std::unique_ptr<templates::platform::DynamicLibrary> relayLibrary_;
    templates::platform::ReadWriteLock mapLock_;
};

}  // namespace vexo::tools::logging
