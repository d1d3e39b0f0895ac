#pragma once
#include <atomic>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "gencp/GenCPPacket.h"
#include "gencp/GenCpSettings.h"
#include "gencp/PacketCutter.h"
#include "gencp/Transmitter.h"
#include "logging/LazyLogger.h"

namespace vexo::genicam {

class GenCPRequest;

// GenCP over one transmitter: request ids, the requests waiting for an
// acknowledge, and a poll thread that gathers received bytes into a ring
// buffer, cuts packets out of it and hands each to its request. The poll
// thread runs while the transmitter reports a camera.
//
// Locks, in this order: the connection mutex (request counter, waiting map,
// live list), the ring-buffer lock, a request's own mutex. Packets are cut
// under the ring lock and dispatched after it is released.
class GenCPConnection : public TransmitterObserver {
public:
    static constexpr uint32_t kRingBytes = 512;

    // Reads the runtime settings (their std::runtime_error passes on). Does
    // not observe the transmitter yet: the owner adds it.
    explicit GenCPConnection(std::shared_ptr<Transmitter> transmitter);
    ~GenCPConnection() override;
    GenCPConnection(const GenCPConnection &) = delete;
    GenCPConnection &operator=(const GenCPConnection &) = delete;

    // Camera memory through a read or write request. Failures are
    // GenCPExceptions (the camera's status as the code where it gave one),
    // logged at level 2 first; gencp_invalid_parameter for a null buffer.
    void ReadMemory(uint64_t address, uint8_t *buffer, uint32_t length);
    void WriteMemory(uint64_t address, const uint8_t *data, uint32_t length);

    // Gives a first sending its request id and enters the request as waiting
    // under it (a resend keeps its id), then writes the packet.
    // gencp_error when the transmitter does not take it.
    void Send(GenCPRequest &request, GenCPPacket &packet);
    // Ends the requests in flight and refuses every later one (gencp_error
    // "Connection is shut down."), so that a thread waiting on the camera
    // returns at once when its board goes away.
    void Shutdown();
    // Removes every waiting entry of the request.
    void Forget(GenCPRequest &request);

    // Starts the poll thread (once) / stops and joins it and terminates the
    // requests in flight, which cannot be answered any more.
    void Available(Transmitter &transmitter) override;
    void Unavailable(Transmitter &transmitter) override;

    Transmitter &GetTransmitter() { return *transmitter_; }
    const GenCpSettings &Settings() const { return settings_; }
    tools::logging::Logger *GetLogger();

private:
    class Cutter;

    template <class Request>
    void RunRequest(const std::shared_ptr<Request> &request, const char *operation);
    void Remove(const std::shared_ptr<GenCPRequest> &request);
    void StartPolling();
    void StopPolling();
    void Poll();
    // Reads up to `count` bytes (never more than the ring has room for) into
    // the ring; false when the transmitter read failed.
    bool ReadIntoRing(uint32_t count, uint32_t timeoutMs);
    void ReadWaitingBytes();
    void CutAndDispatch();
    void Dispatch(const GenCPPacket &packet);
    void WritePacket(std::span<const uint8_t> bytes);

    uint16_t requestCounter_ = 0;
    bool shutDown_ = false;
    std::list<std::shared_ptr<GenCPRequest>> liveRequests_;
    std::mutex mutex_;
    std::shared_ptr<Transmitter> transmitter_;
    std::mutex pollMutex_;  // guards starting and stopping the poll thread
    std::atomic<bool> polling_{false};
    std::thread poller_;
    std::map<uint16_t, GenCPRequest *> waiting_;
    ReceiveRing ring_{kRingBytes};
    std::mutex ringMutex_;
    std::vector<uint8_t> readArea_;
    GenCpSettings settings_;
    tools::logging::LazyLogger logger_;
};

}  // namespace vexo::genicam
