#include "gencp/CLTransmitter.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "board/BoardLibraries.h"
#include "logging/LoggerNames.h"
#include "gencp/GenCpLog.h"
#include "protocol/CameraLink.h"

namespace vexo::genicam {

namespace cl = protocol::cl;

namespace {

constexpr uint32_t kBytesPerCharacter = 4;  // one character per received word

// The rate a baud mask asks for: its set bits' rates added up.
uint32_t RateOfMask(uint32_t mask) {
    uint32_t rate = 0;
    for (uint32_t bit = 0; bit < cl::kBaudRates.size(); ++bit)
        if (mask >> bit & 1) rate += cl::kBaudRates[bit];
    return rate;
}

uint32_t FastestRate(uint32_t mask) {
    for (uint32_t bit = cl::kBaudRates.size(); bit-- > 0;)
        if (mask >> bit & 1) return cl::kBaudRates[bit];
    return 0;
}

}  // namespace

CLTransmitter::CLTransmitter(std::weak_ptr<BoardWrapper> board, uint32_t port) : port_(port), board_(std::move(board)) {}

CLTransmitter::~CLTransmitter() {
    if (open_.load()) Close();
}

tools::logging::Logger *CLTransmitter::GetLogger() { return logger_.Get(tools::logging::names::kClTransmitter); }

std::shared_ptr<BoardWrapper> CLTransmitter::Board() const {
    std::shared_ptr<BoardWrapper> board = board_.lock();
    if (board == nullptr) throw std::runtime_error("Cl port " + std::to_string(port_) + ": the board is gone");
    return board;
}

int32_t CLTransmitter::OpenPort(uint64_t device, uint32_t baud) {
    uint32_t receive = kNoQueue, transmit = kNoQueue;
    const int32_t status = OpenSerialPort(device, port_, baud, &receive, &transmit);
    if (status == 0) {
        receiveQueue_.store(receive);
        transmitQueue_.store(transmit);
    }
    return status;
}

void CLTransmitter::Open() {
    const std::shared_ptr<BoardWrapper> board = Board();
    const CameraPortConfiguration configuration = ReadCameraPortConfiguration(*board);
    const int32_t status = OpenPort(board->device, baudRate_.load());
    if (status == cl::kSerialPortInvalid) throw std::runtime_error("Cl port is invalid!");
    if (status == cl::kSerialPortInUse) throw std::runtime_error("Cl port is in use!");
    if (status != 0) throw std::runtime_error("Cl port cannot be initialized!");
    configuration_ = configuration;
    open_.store(true);
    StartListener();
}

void CLTransmitter::Close() {
    StopListener();
    if (!open_.load()) return;
    if (const std::shared_ptr<BoardWrapper> board = board_.lock()) {
        ReleaseQueue(board->device, transmitQueue_.load());
        ReleaseQueue(board->device, receiveQueue_.load());
    }
    transmitQueue_.store(kNoQueue);
    receiveQueue_.store(kNoQueue);
    open_.store(false);
}

int32_t CLTransmitter::Read(uint8_t *buffer, uint32_t *count, uint32_t timeoutMs) {
    const std::shared_ptr<BoardWrapper> board = board_.lock();
    if (board == nullptr || buffer == nullptr || count == nullptr) return -1;
    std::vector<uint32_t> words(*count);
    const int32_t result = ReadQueueWords(board->device, receiveQueue_.load(), words.data(),
                                          *count * kBytesPerCharacter, timeoutMs);
    if (result < 0) return result;
    // Never more characters than asked for, whatever the library answers.
    const uint32_t characters = std::min<uint32_t>(static_cast<uint32_t>(result) / kBytesPerCharacter, *count);
    for (uint32_t i = 0; i < characters; ++i) buffer[i] = static_cast<uint8_t>(words[i]);
    *count = characters;
    return 0;
}

int32_t CLTransmitter::Write(const uint8_t *buffer, uint32_t *count, uint32_t timeoutMs) {
    try {
        if (count == nullptr) throw std::runtime_error("Cl write failed: Buffer size ptr is invalid");
        if (buffer == nullptr) throw std::runtime_error("Cl write failed: Buffer ptr is invalid");
        const uint32_t bytes = *count;
        *count = 0;
        const std::shared_ptr<BoardWrapper> board = Board();
        const int32_t taken = WriteQueueBytes(board->device, transmitQueue_.load(), buffer, bytes, timeoutMs);
        if (taken < 0) throw std::runtime_error("Vhal error on write buffer");
        FlushQueue(board->device, transmitQueue_.load());
        *count = static_cast<uint32_t>(taken);
        return 0;
    } catch (const std::exception &error) {
        GenCpLog(GetLogger(), tools::logging::kLevelWarning,
                 [&] { return "Cannot write on cl port " + std::to_string(port_) + ": " + error.what(); });
        return -1;
    }
}

int32_t CLTransmitter::BytesAvailable(uint32_t *count) {
    const std::shared_ptr<BoardWrapper> board = board_.lock();
    if (count == nullptr || board == nullptr) return -1;
    const int32_t waiting = CountQueueWords(board->device, receiveQueue_.load());
    if (waiting < 0) return -1;
    *count = static_cast<uint32_t>(waiting);
    return 0;
}

bool CLTransmitter::IsCameraAvailable() {
    const std::shared_ptr<BoardWrapper> board = board_.lock();
    if (board == nullptr) return false;
    const auto plugged = [&](uint32_t index) { return (QueryCameraStatus(board->device, index) & 1) != 0; };
    switch (port_) {
        case 0: return plugged(0);
        case 1: return plugged(1) && !plugged(2);
        default: return false;
    }
}

void CLTransmitter::SetBaudRate(uint32_t mask) {
    const uint32_t rate = RateOfMask(mask);
    if ((mask & ~kSupportedBaudRates) != 0 || rate == 0 || rate > FastestRate(kSupportedBaudRates))
        throw std::runtime_error("baudrate is not supported");
    const std::shared_ptr<BoardWrapper> board = Board();
    if (SetSerialBaudRate(board->device, port_, rate) != 0 && OpenPort(board->device, rate) != 0)
        throw std::runtime_error("cannot set baudrate");
    baudRate_.store(rate);
}

}  // namespace vexo::genicam
