#include "gencp/GenCPConnection.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "gencp/GenCPException.h"
#include "gencp/GenCPReadRequest.h"
#include "gencp/GenCPWriteRequest.h"
#include "gencp/GenCpLog.h"
#include "logging/LoggerNames.h"

namespace vexo::genicam {

namespace gencp = protocol::gencp;
using namespace tools::logging;

namespace {

constexpr uint32_t kReadAreaBytes = 1024;
constexpr uint32_t kFirstReadTimeoutMs = 200;
// After a failed transmitter read, so that a released queue does not spin the thread.
constexpr std::chrono::milliseconds kPauseAfterFailedRead{20};

std::string TwoHexBytes(uint8_t first, uint8_t second) {
    char text[8];
    std::snprintf(text, sizeof text, "%02x%02x", first, second);
    return text;
}

}  // namespace

// Records what cutting finds and collects the packets for dispatch.
class GenCPConnection::Cutter : public CutReport {
public:
    explicit Cutter(Logger *logger) : logger_(logger) {}
    std::vector<GenCPPacket::Pointer> packets;

    void Packet(GenCPPacket::Pointer packet) override { packets.push_back(std::move(packet)); }
    void InvalidPrefix(uint8_t first, uint8_t second) override {
        GenCpLog(logger_, kLevelDetail, [&] { return "Invalid prefix received. 0x" + TwoHexBytes(first, second); });
    }
    void InvalidPacket(uint32_t) override {
        GenCpLog(logger_, kLevelWarning, [] { return std::string("Invalid packet received."); });
    }
    void ChecksumMismatch(uint32_t packetSize) override {
        GenCpLog(logger_, kLevelWarning, [&] {
            return "Invalid packet received. Checksum mismatch; packet size: " + std::to_string(packetSize) +
                   ", first byte dropped.";
        });
    }
    void Incomplete(uint32_t packetSize, uint32_t bufferSize) override {
        GenCpLog(logger_, kLevelDetail, [&] {
            return "Packet is not fully received. Packet size: " + std::to_string(packetSize) + " header " +
                   std::to_string(packetSize - gencp::kHeaderBytes) + " header size " +
                   std::to_string(gencp::kHeaderBytes) + " buffer size " + std::to_string(bufferSize);
        });
    }

private:
    Logger *logger_;
};

GenCPConnection::GenCPConnection(std::shared_ptr<Transmitter> transmitter)
    : transmitter_(std::move(transmitter)), readArea_(kReadAreaBytes), settings_(GenCpSettings::Load()) {}

GenCPConnection::~GenCPConnection() {
    transmitter_->RemoveObserver(this);
    StopPolling();
}

Logger *GenCPConnection::GetLogger() { return logger_.Get(names::kGenCpConnection); }

// --- Requests

template <class Request>
void GenCPConnection::RunRequest(const std::shared_ptr<Request> &request, const char *operation) {
    {
        std::lock_guard lock(mutex_);
        if (shutDown_) throw gencp_error("Connection is shut down.");
        liveRequests_.push_back(request);
    }
    try {
        request->Run();
    } catch (const std::exception &error) {
        GenCpLog(GetLogger(), kLevelDetail, [&] {
            return std::string("exception at CGenCPSerialController::") + operation + ". " + error.what();
        });
        Remove(request);
        if (dynamic_cast<const GenCPException *>(&error) != nullptr) throw;
        throw GenCPException(error.what());
    }
    Remove(request);
}

void GenCPConnection::ReadMemory(uint64_t address, uint8_t *buffer, uint32_t length) {
    if (buffer == nullptr && length != 0) throw gencp_invalid_parameter("Invalid data pointer");
    const auto request = std::make_shared<GenCPReadRequest>(*this, address, length);
    RunRequest(request, "ReadRegister");
    std::copy(request->Received().begin(), request->Received().end(), buffer);
}

void GenCPConnection::WriteMemory(uint64_t address, const uint8_t *data, uint32_t length) {
    if (data == nullptr && length != 0) throw gencp_invalid_parameter("Invalid data pointer");
    RunRequest(std::make_shared<GenCPWriteRequest>(*this, address, data, length), "WriteRegister");
}

void GenCPConnection::Remove(const std::shared_ptr<GenCPRequest> &request) {
    std::lock_guard lock(mutex_);
    liveRequests_.remove(request);
    std::erase_if(waiting_, [&](const auto &entry) { return entry.second == request.get(); });
}

void GenCPConnection::Forget(GenCPRequest &request) {
    std::lock_guard lock(mutex_);
    std::erase_if(waiting_, [&](const auto &entry) { return entry.second == &request; });
}

void GenCPConnection::Shutdown() {
    std::lock_guard lock(mutex_);
    shutDown_ = true;
    for (const std::shared_ptr<GenCPRequest> &request : liveRequests_) request->Terminate();
}

void GenCPConnection::Send(GenCPRequest &request, GenCPPacket &packet) {
    if ((packet.Flags() & gencp::kFlagResend) == 0) {
        std::lock_guard lock(mutex_);
        packet.SetRequestId(++requestCounter_);
        waiting_[packet.RequestId()] = &request;
        GenCpLog(GetLogger(), kLevelDetail,
                 [&] { return "Adding request to waiting queue " + std::to_string(packet.RequestId()); });
    }
    request.NoteSent(packet.RequestId());
    const std::span<const uint8_t> bytes = packet.Serialize();
    GenCpLog(GetLogger(), kLevelTrace, [&] { return "Sending packet " + HexText(packet.Command()); });
    WritePacket(bytes);
}

void GenCPConnection::WritePacket(std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
        uint32_t count = static_cast<uint32_t>(bytes.size());
        if (transmitter_->Write(bytes.data(), &count, settings_.ackTimeoutMs) != 0 || count == 0)
            throw gencp_error("Cannot send packet on port " + std::to_string(transmitter_->PortIndex()) + ".");
        bytes = bytes.subspan(std::min<size_t>(count, bytes.size()));
    }
}

// --- Availability

void GenCPConnection::Available(Transmitter &transmitter) {
    GenCpLog(GetLogger(), kLevelWarning,
             [&] { return "Transmitter is available on Port " + std::to_string(transmitter.PortIndex()); });
    StartPolling();
}

void GenCPConnection::Unavailable(Transmitter &transmitter) {
    GenCpLog(GetLogger(), kLevelWarning,
             [&] { return "Transmitter is unavailable on Port " + std::to_string(transmitter.PortIndex()); });
    StopPolling();
    std::lock_guard lock(mutex_);
    for (const std::shared_ptr<GenCPRequest> &request : liveRequests_) request->Terminate();
}

void GenCPConnection::StartPolling() {
    std::lock_guard lock(pollMutex_);
    if (poller_.joinable()) return;
    polling_.store(true);
    poller_ = std::thread([this] { Poll(); });
}

void GenCPConnection::StopPolling() {
    std::lock_guard lock(pollMutex_);
    polling_.store(false);
    if (poller_.joinable()) poller_.join();
}

// --- Receiving

void GenCPConnection::Poll() {
    while (polling_.load()) {
        if (!ReadIntoRing(1, kFirstReadTimeoutMs)) {
            std::this_thread::sleep_for(kPauseAfterFailedRead);
            continue;
        }
        ReadWaitingBytes();
        CutAndDispatch();
    }
}

bool GenCPConnection::ReadIntoRing(uint32_t count, uint32_t timeoutMs) {
    {
        std::lock_guard lock(ringMutex_);
        // A full ring pauses reading: the bytes wait in the board's queue.
        count = std::min<uint32_t>({count, kReadAreaBytes, static_cast<uint32_t>(ring_.reserve())});
    }
    if (count == 0) return true;
    if (transmitter_->Read(readArea_.data(), &count, timeoutMs) != 0) return false;
    std::lock_guard lock(ringMutex_);
    ring_.insert(ring_.end(), readArea_.begin(), readArea_.begin() + std::min<uint32_t>(count, ring_.reserve()));
    return true;
}

void GenCPConnection::ReadWaitingBytes() {
    uint32_t waiting = 0;
    while (polling_.load() && transmitter_->BytesAvailable(&waiting) == 0 && waiting > 0) {
        size_t before;
        {
            std::lock_guard lock(ringMutex_);
            if (ring_.full()) return;
            before = ring_.size();
        }
        if (!ReadIntoRing(waiting, 0)) return;
        std::lock_guard lock(ringMutex_);
        if (ring_.size() == before) return;
    }
}

void GenCPConnection::CutAndDispatch() {
    Cutter cutter(GetLogger());
    {
        std::lock_guard lock(ringMutex_);
        if (ring_.empty()) return;
        CutPackets(ring_, cutter);
    }
    for (const GenCPPacket::Pointer &packet : cutter.packets) Dispatch(*packet);
}

void GenCPConnection::Dispatch(const GenCPPacket &packet) {
    Logger *logger = GetLogger();
    GenCpLog(logger, kLevelDetail, [&] { return "Received Packet:\n" + packet.Dump(); });
    std::lock_guard lock(mutex_);
    const auto found = waiting_.find(packet.RequestId());
    if (found == waiting_.end()) {
        GenCpLog(logger, kLevelWarning, [&] {
            return "No request is waiting for this packet! (" + std::to_string(packet.RequestId()) + ") queue size " +
                   std::to_string(waiting_.size());
        });
        GenCpLog(logger, kLevelWarning, [] { return std::string("Packet cannot be delivered."); });
        return;
    }
    GenCPRequest &request = *found->second;
    const auto note = [&](uint32_t level, const char *text) { GenCpLog(logger, level, [&] { return std::string(text); }); };
    if (packet.IsReadCommand()) {
        note(kLevelDetail, "ReadMemCmd received");
        request.OnCommand(packet);
    } else if (packet.IsWriteCommand()) {
        note(kLevelDetail, "WriteMemCmd received");
        request.OnCommand(packet);
    } else if (packet.IsReadAck()) {
        note(kLevelDetail, "ReadMemAck received");
        request.OnReadAcknowledge(packet);
    } else if (packet.IsWriteAck()) {
        note(kLevelDetail, "IsWriteMemAck received");
        request.OnWriteAcknowledge(packet);
    } else if (packet.IsPendingAck()) {
        note(kLevelDetail, "Pending ack received");
        request.OnPendingAcknowledge(packet);
    } else if (packet.IsEvent()) {
        note(kLevelError, "Event command is not implemented.");
    } else if (packet.IsEventAck()) {
        note(kLevelError, "EventAck command is not implemented.");
    } else {
        note(kLevelWarning, "Invalid packet received!");
    }
}

}  // namespace vexo::genicam
