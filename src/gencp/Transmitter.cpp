#include "gencp/Transmitter.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace vexo::genicam {

namespace {
constexpr std::chrono::milliseconds kListenerPeriod{100};
}

Transmitter::~Transmitter() { StopListener(); }

void Transmitter::AddObserver(TransmitterObserver *observer) {
    std::lock_guard lock(observersMutex_);
    observers_.push_back(observer);
    if (lastAvailability_.load())
        observer->Available(*this);
    else
        observer->Unavailable(*this);
}

void Transmitter::RemoveObserver(TransmitterObserver *observer) {
    std::lock_guard lock(observersMutex_);
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void Transmitter::TellObservers(bool available) {
    std::lock_guard lock(observersMutex_);
    lastAvailability_.store(available);
    for (TransmitterObserver *observer : observers_) {
        if (available)
            observer->Available(*this);
        else
            observer->Unavailable(*this);
    }
}

void Transmitter::StartListener() {
    std::lock_guard lock(runMutex_);
    if (running_ || listener_.joinable()) throw std::runtime_error("cl heartbeat listener is already running");
    running_ = true;
    listener_ = std::thread([this] { Listen(); });
}

void Transmitter::StopListener() {
    {
        std::lock_guard lock(runMutex_);
        running_ = false;
    }
    runChanged_.notify_all();
    if (listener_.joinable()) listener_.join();
}

bool Transmitter::PauseListener() {
    std::unique_lock lock(runMutex_);
    return !runChanged_.wait_for(lock, kListenerPeriod, [this] { return !running_; });
}

void Transmitter::Listen() {
    TellObservers(false);
    bool available = false;
    do {
        const bool now = IsCameraAvailable();
        if (now != available) TellObservers(now);
        available = now;
    } while (PauseListener());
    if (available) TellObservers(false);
}

}  // namespace vexo::genicam
