#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "logging/Logger.h"

namespace vexo::genicam {

class Transmitter;

// Told when a camera appears on or leaves a transmitter. Called on the
// transmitter's listener thread (and on the adding thread by AddObserver);
// an observer must not add or remove observers from inside a call.
class TransmitterObserver {
public:
    virtual ~TransmitterObserver() = default;
    virtual void Available(Transmitter &transmitter) = 0;
    virtual void Unavailable(Transmitter &transmitter) = 0;
};

// The byte transport of a GenCP connection, watching whether a camera is
// attached. While open, a listener thread ("cl heartbeat listener") asks every
// 100 ms and tells the observers of each change; it first tells them
// "unavailable", and when it stops while a camera was there, "unavailable"
// again, so that nothing keeps running on a closed transmitter.
class Transmitter {
public:
    Transmitter() = default;
    virtual ~Transmitter();
    Transmitter(const Transmitter &) = delete;
    Transmitter &operator=(const Transmitter &) = delete;

    // Failures raise std::runtime_error.
    virtual void Open() = 0;
    virtual void Close() = 0;
    // Up to *count bytes within timeoutMs; *count becomes the bytes read.
    // 0, or the board library's negative status.
    virtual int32_t Read(uint8_t *buffer, uint32_t *count, uint32_t timeoutMs) = 0;
    // *count bytes; *count becomes the bytes taken. 0, or -1 after logging.
    virtual int32_t Write(const uint8_t *buffer, uint32_t *count, uint32_t timeoutMs) = 0;
    // The bytes waiting to be read; -1 for a null pointer or a failed query.
    virtual int32_t BytesAvailable(uint32_t *count) = 0;
    // Open, and a camera was seen at the last look.
    virtual bool IsOpen() const = 0;
    virtual bool IsCameraAvailable() = 0;
    virtual tools::logging::Logger *GetLogger() = 0;
    // The board port it serves, for records.
    virtual uint32_t PortIndex() const = 0;

    // Adds an observer and tells it the last observed availability at once.
    void AddObserver(TransmitterObserver *observer);
    // After it returns the observer is called no more.
    void RemoveObserver(TransmitterObserver *observer);
    bool LastAvailability() const { return lastAvailability_.load(); }

protected:
    // std::runtime_error "cl heartbeat listener is already running" when one runs.
    void StartListener();
    // Stops and joins the listener; nothing when none runs.
    void StopListener();

private:
    void Listen();
    void TellObservers(bool available);
    // Waits up to the listener's period; false once told to stop.
    bool PauseListener();

    std::mutex observersMutex_;
    std::vector<TransmitterObserver *> observers_;
    std::atomic<bool> lastAvailability_{false};
    std::mutex runMutex_;
    std::condition_variable runChanged_;
    bool running_ = false;
    std::thread listener_;
};

}  // namespace vexo::genicam
