#include "logging/Logging.h"

#include "platform/InstallationFolder.h"

namespace vexo::tools::logging {

namespace {
// The relay's notifications carry no context: they go to the attached object.
std::atomic<Logging *> g_attached{nullptr};
}  // namespace

void Logger::Write(uint32_t level, const std::string &text, uint32_t value, void *pointer) const {
    owner_->Write(*this, level, text, value, pointer);
}

Logging::Logging() : defaultLogger_(std::make_unique<Logger>(this, 0, kLevelSilent)) {}

Logging::~Logging() {
    loggers_.clear();
    if (const RelayDescriptor *descriptor = descriptor_.exchange(nullptr)) descriptor->detach(this);
    Logging *self = this;
    g_attached.compare_exchange_strong(self, nullptr);
    relayLibrary_.reset();
}

void Logging::OnInitialize() {
    const std::optional<std::string> &folder = templates::platform::InstallationFolder();
    if (!folder) return;
    auto library = std::make_unique<templates::platform::DynamicLibrary>();
    if (!library->Load(*folder + "/lib/libshared-log-relay.so")) return;
    auto *descriptor = static_cast<const RelayDescriptor *>(library->Symbol(RELAY_DESCRIPTOR_SYMBOL));
    if (descriptor == nullptr) return;
    relayLibrary_ = std::move(library);
    AttachRelay(descriptor);
}

void Logging::AttachRelay(const RelayDescriptor *descriptor) {
    if (descriptor == nullptr || descriptor->attach == nullptr) return;
    g_attached.store(this, std::memory_order_release);
    descriptor->attach(this, &Logging::OnRelayDetach, &Logging::OnRelayThreshold, &register_, &write_);
    descriptor_.store(descriptor, std::memory_order_release);
}

Logger *Logging::GetLogger(const char *name) {
    if (!IsRelayAttached() || register_ == nullptr) return defaultLogger_.get();
    uint64_t identity = 0;
    uint32_t threshold = kLevelSilent;
    register_(name, &identity, &threshold);
    templates::platform::ReadWriteLock::ExclusiveGuard guard(mapLock_);
    std::unique_ptr<Logger> &slot = loggers_[identity];
    if (!slot) slot = std::make_unique<Logger>(this, identity, threshold);
    return slot.get();
}

void Logging::Write(const Logger &logger, uint32_t level, const std::string &text, uint32_t value, void *pointer) {
    if (!IsRelayAttached() || write_ == nullptr) return;
    write_(logger.Identity(), level, text.c_str(), value, pointer);
}

void Logging::OnRelayDetach() {
    if (Logging *logging = g_attached.load(std::memory_order_acquire)) logging->descriptor_.store(nullptr);
}

void Logging::OnRelayThreshold(uint64_t identity, uint32_t threshold) {
    Logging *logging = g_attached.load(std::memory_order_acquire);
    if (logging == nullptr) return;
    templates::platform::ReadWriteLock::SharedGuard guard(logging->mapLock_);
    auto found = logging->loggers_.find(identity);
    if (found != logging->loggers_.end()) found->second->SetThreshold(threshold);
}

}  // namespace vexo::tools::logging
