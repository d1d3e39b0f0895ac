#include "board/BoardLibraries.h"

#include <cstring>

#include "platform/DynamicLibrary.h"
#include "platform/InstallationFolder.h"
#include "protocol/GrabberSession.h"

namespace vexo::genicam {

namespace {

enum HardwareEntry : size_t {
    kInitDevice,
    kReadBoardRegister,
    kWriteBoardRegister,
    kQueryBoardInfo,
    kQueryBoardIndex,
    kQueryCameraStatus,
    kOpenSerialPort,
    kSetSerialBaudRate,
    kCountQueueWords,
    kReadQueueWords,
    kWriteQueueBytes,
    kFlushQueue,
    kReleaseQueue,
    kHardwareEntryCount
};
constexpr const char *kHardwareSymbols[kHardwareEntryCount] = {
    "InitDevice",       "ReadBoardRegister", "WriteBoardRegister", "QueryBoardInfo", "QueryBoardIndex",
    "QueryCameraStatus", "OpenSerialPort",   "SetSerialBaudRate",  "CountQueueWords", "ReadQueueWords",
    "WriteQueueBytes",  "FlushQueue",        "ReleaseQueue"};

enum AppletEntry : size_t { kLoadDesignFile, kFindAppletRegister, kAppletEntryCount };
constexpr const char *kAppletSymbols[kAppletEntryCount] = {"LoadDesignFile", "FindAppletRegister"};

enum GrabberEntry : size_t { kInitGrabberEx, kOpenGrabber, kCloseGrabber, kGrabberEntryCount };
constexpr const char *kGrabberSymbols[kGrabberEntryCount] = {"InitGrabberEx", "OpenGrabber", "CloseGrabber"};

static_assert(kHardwareEntryCount <= BoardLibraries::kMaxEntryPoints);

using ReadBoardRegisterFn = int32_t (*)(uint64_t, uint32_t, uint64_t *);
using WriteBoardRegisterFn = int32_t (*)(uint64_t, uint32_t, uint64_t);
using QueryBoardInfoFn = int64_t (*)(uint64_t, const char *);
using QueryU32Fn = uint32_t (*)(uint64_t, uint32_t);
using OpenSerialPortFn = int32_t (*)(uint64_t, uint32_t, uint32_t, uint32_t *, uint32_t *);
using SetSerialBaudRateFn = int32_t (*)(uint64_t, uint32_t, uint32_t);
using CountQueueWordsFn = int32_t (*)(uint64_t, uint32_t);
using ReadQueueWordsFn = int32_t (*)(uint64_t, uint32_t, void *, uint32_t, uint32_t);
using WriteQueueBytesFn = int32_t (*)(uint64_t, uint32_t, const void *, uint32_t, uint32_t);
using QueueFn = void (*)(uint64_t, uint32_t);
using FindAppletRegisterFn = int64_t (*)(uint64_t, const char *);
using OpenGrabberFn = GrabberSession *(*)(uint32_t);
using CloseGrabberFn = void (*)(GrabberSession *);

// As a plain integer: the operations return it in several integer types.
constexpr int32_t kNotLoaded = LibraryNotLoaded;

using protocol::grabber_session::kAppletHandleOffset;
using protocol::grabber_session::kDeviceHandleOffset;

std::atomic<BoardLibraries *> g_replacement{nullptr};

}  // namespace

BoardLibraries::BoardLibraries(FolderProvider folder)
    : folder_(std::move(folder)),
      hardware_{"vexo_hal", kHardwareSymbols, kHardwareEntryCount, kNotLoaded},
      applet_{"opmod", kAppletSymbols, kAppletEntryCount, -1},
      grabber_{"grablib5", kGrabberSymbols, kGrabberEntryCount, kNotLoaded} {}

int32_t BoardLibraries::Load(Binding &binding) {
    std::lock_guard<std::mutex> lock(loadMutex_);
    const std::optional<std::string> folder = folder_ ? folder_() : std::nullopt;
    if (!folder) return binding.failureStatus;
    templates::platform::DynamicLibrary library;
    if (!library.Load(*folder + "/lib/lib" + binding.baseName + ".so")) return binding.failureStatus;
    // The marker goes last so that a reader who sees it sees every other slot.
    for (size_t i = binding.symbolCount; i-- > 0;)
        binding.slots[i].store(library.Symbol(binding.symbols[i]), std::memory_order_release);
    return 0;
}

void *BoardLibraries::EntryPoint(Binding &binding, size_t index) {
    if (binding.slots[0].load(std::memory_order_acquire) == nullptr) Load(binding);
    return binding.slots[index].load(std::memory_order_acquire);
}

int32_t BoardLibraries::LoadHardwareLibrary() { return Load(hardware_); }
int32_t BoardLibraries::LoadAppletRuntime() { return Load(applet_); }
int32_t BoardLibraries::LoadGrabberLibrary() { return Load(grabber_); }

int32_t BoardLibraries::ReadBoardRegister(uint64_t device, uint32_t address, uint64_t *value) {
    auto entry = Entry<ReadBoardRegisterFn>(hardware_, kReadBoardRegister);
    return entry ? entry(device, address, value) : kNotLoaded;
}

int32_t BoardLibraries::WriteBoardRegister(uint64_t device, uint32_t address, uint64_t value) {
    auto entry = Entry<WriteBoardRegisterFn>(hardware_, kWriteBoardRegister);
    return entry ? entry(device, address, value) : kNotLoaded;
}

int64_t BoardLibraries::QueryBoardInfo(uint64_t device, const char *key) {
    auto entry = Entry<QueryBoardInfoFn>(hardware_, kQueryBoardInfo);
    return entry ? entry(device, key) : kNotLoaded;
}

uint32_t BoardLibraries::QueryBoardIndex(uint64_t device, uint32_t reserved) {
    auto entry = Entry<QueryU32Fn>(hardware_, kQueryBoardIndex);
    return entry ? entry(device, reserved) : static_cast<uint32_t>(kNotLoaded);
}

uint32_t BoardLibraries::QueryCameraStatus(uint64_t device, uint32_t index) {
    auto entry = Entry<QueryU32Fn>(hardware_, kQueryCameraStatus);
    return entry ? entry(device, index) : static_cast<uint32_t>(kNotLoaded);
}

int32_t BoardLibraries::OpenSerialPort(uint64_t device, uint32_t port, uint32_t baud, uint32_t *rxQueue,
                                       uint32_t *txQueue) {
    auto entry = Entry<OpenSerialPortFn>(hardware_, kOpenSerialPort);
    return entry ? entry(device, port, baud, rxQueue, txQueue) : kNotLoaded;
}

int32_t BoardLibraries::SetSerialBaudRate(uint64_t device, uint32_t port, uint32_t baud) {
    auto entry = Entry<SetSerialBaudRateFn>(hardware_, kSetSerialBaudRate);
    return entry ? entry(device, port, baud) : kNotLoaded;
}

int32_t BoardLibraries::CountQueueWords(uint64_t device, uint32_t queue) {
    auto entry = Entry<CountQueueWordsFn>(hardware_, kCountQueueWords);
    return entry ? entry(device, queue) : kNotLoaded;
}

int32_t BoardLibraries::ReadQueueWords(uint64_t device, uint32_t queue, void *buffer, uint32_t bytes,
                                       uint32_t timeoutMs) {
    auto entry = Entry<ReadQueueWordsFn>(hardware_, kReadQueueWords);
    return entry ? entry(device, queue, buffer, bytes, timeoutMs) : kNotLoaded;
}

int32_t BoardLibraries::WriteQueueBytes(uint64_t device, uint32_t queue, const void *data, uint32_t bytes,
                                        uint32_t timeoutMs) {
    auto entry = Entry<WriteQueueBytesFn>(hardware_, kWriteQueueBytes);
    return entry ? entry(device, queue, data, bytes, timeoutMs) : kNotLoaded;
}

int32_t BoardLibraries::FlushQueue(uint64_t device, uint32_t queue) {
    auto entry = Entry<QueueFn>(hardware_, kFlushQueue);
    if (!entry) return kNotLoaded;
    entry(device, queue);
    return 0;
}

int32_t BoardLibraries::ReleaseQueue(uint64_t device, uint32_t queue) {
    auto entry = Entry<QueueFn>(hardware_, kReleaseQueue);
    if (!entry) return kNotLoaded;
    entry(device, queue);
    return 0;
}

int64_t BoardLibraries::FindAppletRegister(uint64_t applet, const char *name) {
    auto entry = Entry<FindAppletRegisterFn>(applet_, kFindAppletRegister);
    return entry ? entry(applet, name) : kNotLoaded;
}

GrabberSession *BoardLibraries::OpenGrabber(uint32_t boardIndex) {
    auto entry = Entry<OpenGrabberFn>(grabber_, kOpenGrabber);
    return entry ? entry(boardIndex) : nullptr;
}

int32_t BoardLibraries::CloseGrabber(GrabberSession *session) {
    auto entry = Entry<CloseGrabberFn>(grabber_, kCloseGrabber);
    if (!entry) return kNotLoaded;
    entry(session);
    return 0;
}

BoardLibraries &BoardLibraries::Process() {
    if (BoardLibraries *replacement = g_replacement.load(std::memory_order_acquire)) return *replacement;
    static BoardLibraries libraries([] { return templates::platform::InstallationFolder(); });
    return libraries;
}

BoardLibraries *BoardLibraries::ReplaceProcess(BoardLibraries *libraries) {
    return g_replacement.exchange(libraries, std::memory_order_acq_rel);
}

int32_t LoadHardwareLibrary() { return BoardLibraries::Process().LoadHardwareLibrary(); }
int32_t LoadAppletRuntime() { return BoardLibraries::Process().LoadAppletRuntime(); }
int32_t LoadGrabberLibrary() { return BoardLibraries::Process().LoadGrabberLibrary(); }
int32_t ReadBoardRegister(uint64_t device, uint32_t address, uint64_t *value) {
    return BoardLibraries::Process().ReadBoardRegister(device, address, value);
}
int32_t WriteBoardRegister(uint64_t device, uint32_t address, uint64_t value) {
    return BoardLibraries::Process().WriteBoardRegister(device, address, value);
}
int64_t QueryBoardInfo(uint64_t device, const char *key) { return BoardLibraries::Process().QueryBoardInfo(device, key); }
uint32_t QueryBoardIndex(uint64_t device, uint32_t reserved) {
    return BoardLibraries::Process().QueryBoardIndex(device, reserved);
}
uint32_t QueryCameraStatus(uint64_t device, uint32_t index) {
    return BoardLibraries::Process().QueryCameraStatus(device, index);
}
int32_t OpenSerialPort(uint64_t device, uint32_t port, uint32_t baud, uint32_t *rxQueue, uint32_t *txQueue) {
    return BoardLibraries::Process().OpenSerialPort(device, port, baud, rxQueue, txQueue);
}
int32_t SetSerialBaudRate(uint64_t device, uint32_t port, uint32_t baud) {
    return BoardLibraries::Process().SetSerialBaudRate(device, port, baud);
}
int32_t CountQueueWords(uint64_t device, uint32_t queue) { return BoardLibraries::Process().CountQueueWords(device, queue); }
int32_t ReadQueueWords(uint64_t device, uint32_t queue, void *buffer, uint32_t bytes, uint32_t timeoutMs) {
    return BoardLibraries::Process().ReadQueueWords(device, queue, buffer, bytes, timeoutMs);
}
int32_t WriteQueueBytes(uint64_t device, uint32_t queue, const void *data, uint32_t bytes, uint32_t timeoutMs) {
    return BoardLibraries::Process().WriteQueueBytes(device, queue, data, bytes, timeoutMs);
}
int32_t FlushQueue(uint64_t device, uint32_t queue) { return BoardLibraries::Process().FlushQueue(device, queue); }
int32_t ReleaseQueue(uint64_t device, uint32_t queue) { return BoardLibraries::Process().ReleaseQueue(device, queue); }
int64_t FindAppletRegister(uint64_t applet, const char *name) {
    return BoardLibraries::Process().FindAppletRegister(applet, name);
}
GrabberSession *OpenGrabber(uint32_t boardIndex) { return BoardLibraries::Process().OpenGrabber(boardIndex); }
int32_t CloseGrabber(GrabberSession *session) { return BoardLibraries::Process().CloseGrabber(session); }

uint64_t SessionDeviceHandle(const GrabberSession *session) {
    uint64_t handle = 0;
    std::memcpy(&handle, reinterpret_cast<const unsigned char *>(session) + kDeviceHandleOffset, sizeof handle);
    return handle;
}

uint64_t SessionAppletHandle(const GrabberSession *session) {
    uint64_t handle = 0;
    std::memcpy(&handle, reinterpret_cast<const unsigned char *>(session) + kAppletHandleOffset, sizeof handle);
    return handle;
}

}  // namespace vexo::genicam
