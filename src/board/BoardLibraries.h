#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "nox_genicam.h"

namespace vexo::genicam {

// The three board access libraries, loaded at run time from
// <installation folder>/lib: the hardware library (vexo_hal), the applet
// runtime (opmod) and the grabber library (grablib5). An operation whose
// library is missing tries to load it again first, so a library installed
// later is picked up; an operation whose entry point is missing returns
// LibraryNotLoaded (OpenGrabber: null) without calling anything.
class BoardLibraries {
public:
    using FolderProvider = std::function<std::optional<std::string>()>;

    // Loads from the folder the provider names; no folder, no libraries.
    explicit BoardLibraries(FolderProvider folder);

    // 0, or LibraryNotLoaded (the applet runtime: -1) when the library cannot be loaded.
    int32_t LoadHardwareLibrary();
    int32_t LoadAppletRuntime();
    int32_t LoadGrabberLibrary();

    // Hardware library.
    int32_t ReadBoardRegister(uint64_t device, uint32_t address, uint64_t *value);
    int32_t WriteBoardRegister(uint64_t device, uint32_t address, uint64_t value);
    int64_t QueryBoardInfo(uint64_t device, const char *key);
    uint32_t QueryBoardIndex(uint64_t device, uint32_t reserved);
    uint32_t QueryCameraStatus(uint64_t device, uint32_t index);
    int32_t OpenSerialPort(uint64_t device, uint32_t port, uint32_t baud, uint32_t *rxQueue, uint32_t *txQueue);
    int32_t SetSerialBaudRate(uint64_t device, uint32_t port, uint32_t baud);
    int32_t CountQueueWords(uint64_t device, uint32_t queue);
    int32_t ReadQueueWords(uint64_t device, uint32_t queue, void *buffer, uint32_t bytes, uint32_t timeoutMs);
    int32_t WriteQueueBytes(uint64_t device, uint32_t queue, const void *data, uint32_t bytes, uint32_t timeoutMs);
    int32_t FlushQueue(uint64_t device, uint32_t queue);
    int32_t ReleaseQueue(uint64_t device, uint32_t queue);

    // Applet runtime: the board register address of a named applet register, 0 or less when absent.
    int64_t FindAppletRegister(uint64_t applet, const char *name);

    // Grabber library.
    GrabberSession *OpenGrabber(uint32_t boardIndex);
    int32_t CloseGrabber(GrabberSession *session);

    // The instance behind the free functions below: loads from the
    // installation folder of this process.
    static BoardLibraries &Process();
    // Puts another instance behind the free functions (stand-in libraries in
    // tests); returns the one it replaces. Null restores the default.
    static BoardLibraries *ReplaceProcess(BoardLibraries *libraries);

    static constexpr size_t kMaxEntryPoints = 16;

    struct Binding {
        const char *baseName;
        const char *const *symbols;  // symbols[0] marks the library as loaded
        size_t symbolCount;
        int32_t failureStatus;
        std::array<std::atomic<void *>, kMaxEntryPoints> slots{};
    };

private:
    int32_t Load(Binding &binding);
    void *EntryPoint(Binding &binding, size_t index);
    template <class Function>
    Function Entry(Binding &binding, size_t index) {
        return reinterpret_cast<Function>(EntryPoint(binding, index));
    }

    FolderProvider folder_;
    std::mutex loadMutex_;
    Binding hardware_;
    Binding applet_;
    Binding grabber_;
};

// The board library operations of this process (BoardLibraries::Process()).
int32_t LoadHardwareLibrary();
int32_t LoadAppletRuntime();
int32_t LoadGrabberLibrary();
int32_t ReadBoardRegister(uint64_t device, uint32_t address, uint64_t *value);
int32_t WriteBoardRegister(uint64_t device, uint32_t address, uint64_t value);
int64_t QueryBoardInfo(uint64_t device, const char *key);
uint32_t QueryBoardIndex(uint64_t device, uint32_t reserved);
uint32_t QueryCameraStatus(uint64_t device, uint32_t index);
int32_t OpenSerialPort(uint64_t device, uint32_t port, uint32_t baud, uint32_t *rxQueue, uint32_t *txQueue);
int32_t SetSerialBaudRate(uint64_t device, uint32_t port, uint32_t baud);
int32_t CountQueueWords(uint64_t device, uint32_t queue);
int32_t ReadQueueWords(uint64_t device, uint32_t queue, void *buffer, uint32_t bytes, uint32_t timeoutMs);
int32_t WriteQueueBytes(uint64_t device, uint32_t queue, const void *data, uint32_t bytes, uint32_t timeoutMs);
int32_t FlushQueue(uint64_t device, uint32_t queue);
int32_t ReleaseQueue(uint64_t device, uint32_t queue);
int64_t FindAppletRegister(uint64_t applet, const char *name);
GrabberSession *OpenGrabber(uint32_t boardIndex);
int32_t CloseGrabber(GrabberSession *session);

// The handles a grabber session record carries (protocol/GrabberSession.h).
uint64_t SessionDeviceHandle(const GrabberSession *session);
uint64_t SessionAppletHandle(const GrabberSession *session);

}  // namespace vexo::genicam
