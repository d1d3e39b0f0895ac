// libvexo_hal: the hardware library's entry points and the simulator's
// control entry points. Every board lives here.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string_view>
#include <thread>

#include "common/Export.h"
#include "libraries/PrivateKeys.h"
#include "protocol/BoardInfo.h"
#include "simulator/Simulator.h"
#include "vexosim.h"

using vexo::sim::Board;
using vexo::sim::kFailed;
using vexo::sim::Simulator;

namespace {

template <class Result, class Action>
Result OnBoardOf(uint64_t handle, Result failure, Action &&action) {
    const std::optional<vexo::sim::HandleTarget> target = vexo::sim::BoardOfHandle(handle);
    return target ? Simulator::Instance().WithBoard(target->board, target->generation, failure, action) : failure;
}

template <class Action>
int32_t OnBoard(uint32_t board, Action &&action) {
    return Simulator::Instance().WithBoard(board, vexo::sim::kAnyGeneration, kFailed, action);
}

using Clock = std::chrono::steady_clock;

// Queue calls that wait by their nature look at the queue under the board's
// lock and sleep between looks without it, until `enough` says the looks so
// far did what was asked or the timeout passes. Returns what the looks did
// together, or the first look's failure.
template <class Look, class Enough>
int32_t LookUntil(uint64_t device, uint32_t timeoutMs, Look &&look, Enough &&enough) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int32_t done = 0;
    for (;;) {
        const vexo::sim::QueueStep step = OnBoardOf(device, vexo::sim::QueueStep{}, [&](Board &board) { return look(board, done); });
        if (step.result < 0) return done > 0 ? done : step.result;
        done += step.result;
        const Clock::time_point now = Clock::now();
        if (enough(done) || now >= deadline) return done;
        std::this_thread::sleep_until(std::min(step.retryAt, deadline));
    }
}

}  // namespace

VEXOSIM_EXPORT int32_t InitDevice(void) { return 0; }

// Most registers are one word that reading leaves alone: those are read
// without taking the board's lock, the others under it.
VEXOSIM_EXPORT int32_t ReadBoardRegister(uint64_t device, uint32_t address, uint64_t *value) {
    if (!value) return kFailed;
    const std::optional<vexo::sim::HandleTarget> target = vexo::sim::BoardOfHandle(device);
    if (target && Simulator::Instance().ReadUnlocked(target->board, target->generation, [&](const Board &board) {
            return board.ReadRegisterUnlocked(address, *value);
        }))
        return 0;
    return OnBoardOf(device, kFailed, [&](Board &board) { return board.ReadRegister(address, *value); });
}

VEXOSIM_EXPORT int32_t WriteBoardRegister(uint64_t device, uint32_t address, uint64_t value) {
    return OnBoardOf(device, kFailed, [&](Board &board) { return board.WriteRegister(address, value); });
}

VEXOSIM_EXPORT int64_t QueryBoardInfo(uint64_t device, const char *key) {
    if (!key) return -1;
    const std::string_view text(key);
    if (text == vexo::sim::kOpenBoardKey) {
        const std::optional<vexo::sim::HandleTarget> target = vexo::sim::BoardOfHandle(device);
        const std::optional<uint32_t> generation = target ? Simulator::Instance().OpenBoard(target->board) : std::nullopt;
        return generation ? int64_t(*generation) : -1;
    }
    if (text == vexo::protocol::board_info::kLockScope)
        return OnBoardOf(device, int64_t(-1), [](Board &) { return Simulator::Instance().Segment().LockScope(); });
    return OnBoardOf(device, int64_t(-1), [&](Board &board) -> int64_t {
        if (text.starts_with(vexo::sim::kAppletRegisterKey))
            return board.FindAppletRegister(text.substr(vexo::sim::kAppletRegisterKey.size()));
        return board.QueryInfo(text);
    });
}

VEXOSIM_EXPORT uint32_t QueryBoardIndex(uint64_t device, uint32_t) {
    return OnBoardOf(device, 0xFFFFFFFFu, [](Board &board) { return board.Index(); });
}

VEXOSIM_EXPORT uint32_t QueryCameraStatus(uint64_t device, uint32_t index) {
    return OnBoardOf(device, 0u, [&](Board &board) { return board.QueryCameraStatus(index); });
}

VEXOSIM_EXPORT int32_t OpenSerialPort(uint64_t device, uint32_t port, uint32_t baud, uint32_t *rxQueue,
                                      uint32_t *txQueue) {
    if (!rxQueue || !txQueue) return kFailed;
    return OnBoardOf(device, kFailed, [&](Board &board) { return board.OpenSerialPort(port, baud, rxQueue, txQueue); });
}

VEXOSIM_EXPORT int32_t SetSerialBaudRate(uint64_t device, uint32_t port, uint32_t baud) {
    return OnBoardOf(device, kFailed, [&](Board &board) { return board.SetSerialBaudRate(port, baud); });
}

VEXOSIM_EXPORT int32_t CountQueueWords(uint64_t device, uint32_t queue) {
    return OnBoardOf(device, kFailed, [&](Board &board) { return board.CountQueueWords(queue); });
}

VEXOSIM_EXPORT int32_t ReadQueueWords(uint64_t device, uint32_t queue, void *buffer, uint32_t bytes,
                                      uint32_t timeoutMs) {
    if (!buffer && bytes) return kFailed;
    // Waits for at least one character; a buffer without room for one gets none.
    return LookUntil(
        device, bytes < 4 ? 0 : timeoutMs,
        [&](Board &board, int32_t) { return board.ReadQueueStep(queue, buffer, bytes); },
        [](int32_t copied) { return copied > 0; });
}

VEXOSIM_EXPORT int32_t WriteQueueBytes(uint64_t device, uint32_t queue, const void *data, uint32_t bytes,
                                       uint32_t timeoutMs) {
    if (!data && bytes) return kFailed;
    const auto *bytesIn = static_cast<const uint8_t *>(data);
    return LookUntil(
        device, timeoutMs,
        [&](Board &board, int32_t taken) { return board.WriteQueueStep(queue, bytesIn + taken, bytes - uint32_t(taken)); },
        [&](int32_t taken) { return uint32_t(taken) == bytes; });
}

VEXOSIM_EXPORT void FlushQueue(uint64_t device, uint32_t queue) {
    OnBoardOf(device, 0, [&](Board &board) { return board.FlushQueue(queue), 0; });
}

VEXOSIM_EXPORT void ReleaseQueue(uint64_t device, uint32_t queue) {
    OnBoardOf(device, 0, [&](Board &board) { return board.ReleaseQueue(queue), 0; });
}

VEXOSIM_EXPORT int32_t vexosim_load_topology(const char *jsonText) { return Simulator::Instance().Load(jsonText); }

VEXOSIM_EXPORT int32_t vexosim_plug(uint32_t board, uint32_t port, int32_t plugged) {
    return OnBoard(board, [&](Board &b) { return b.Plug(port, plugged != 0); });
}

VEXOSIM_EXPORT int32_t vexosim_fault(uint32_t board, uint32_t port, const char *kind, uint32_t count) {
    if (!kind) return kFailed;
    return OnBoard(board, [&](Board &b) { return b.InjectNamedFault(port, kind, count); });
}

VEXOSIM_EXPORT int32_t vexosim_link_noise(uint32_t board, uint32_t port, uint32_t errorsPerMs) {
    return OnBoard(board, [&](Board &b) { return b.SetLinkNoise(port, errorsPerMs); });
}

VEXOSIM_EXPORT int32_t vexosim_stats(uint32_t board, uint32_t port, vexosim_port_stats *out) {
    if (!out) return kFailed;
    vexo::sim::TrafficCounters traffic;
    const int32_t status = OnBoard(board, [&](Board &b) { return b.ReadTraffic(port, traffic); });
    if (status == 0)
        *out = {traffic.commandsReceived, traffic.crcErrors, traffic.framingErrors,
                traffic.acksSent, traffic.bytesRead, traffic.bytesWritten};
    return status;
}

VEXOSIM_EXPORT int32_t vexosim_serial_claim(uint32_t board, uint32_t port, int32_t held) {
    return OnBoard(board, [&](Board &b) { return b.ClaimSerialPort(port, held != 0); });
}

VEXOSIM_EXPORT int32_t vexosim_lock_board(uint32_t board, uint32_t timeoutMs) {
    return Simulator::Instance().LockChannels(board, timeoutMs);
}

VEXOSIM_EXPORT int32_t vexosim_unlock_board(uint32_t board) { return Simulator::Instance().UnlockChannels(board); }

VEXOSIM_EXPORT int32_t vexosim_remove_instance(void) {
    const std::optional<std::string> instance = vexo::sim::InstanceInForce();
    return instance && vexo::sim::SharedSegment::Remove(*instance) ? 0 : kFailed;
}
