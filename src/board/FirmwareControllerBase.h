#pragma once
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "board/RawAccess.h"
#include "discovery/DiscoverySelect.h"
#include "logging/LazyLogger.h"
#include "logging/Logger.h"
#include "platform/RecursiveMutex.h"
#include "platform/Stopwatch.h"

namespace vexo::genicam {

class ControllerOwner;
class DiscoveryInfo;

// The link controller of one board: the only way the board and camera objects,
// the register port and the link profiles reach cameras. One kind per link
// technology derives from it. Ports are port indices; masks have bit i for
// port i; statuses are 0 or a negative code; timeouts are in milliseconds.
//
// Building the base reads, through the board library and in this order, the
// board type ("board/type"), the board index and the firmware version (low
// bytes of "firmware/major" and "firmware/minor", major in the high byte).
//
// The base holds the link mutex that each kind takes around its link
// operations; each kind serialises its own register traffic below it.
class FirmwareControllerBase {
public:
    static constexpr uint32_t kPortArraySize = 4;
    static constexpr uint32_t kUplinkNotSet = 0xFFFFFFFFu;
    static constexpr uint32_t kNoId = 0xFFFFFFFFu;
    static constexpr std::chrono::milliseconds kPowerCycleOffTime{1000};

    // What a link check can tell: a check that could not look (a lock not had
    // in time, a status register that did not read) knows nothing.
    enum class LinkSync { kSynchronized, kLost, kUnknown };

    FirmwareControllerBase(uint64_t device, uint64_t applet, ControllerOwner *owner);
    FirmwareControllerBase(const FirmwareControllerBase &) = delete;
    FirmwareControllerBase &operator=(const FirmwareControllerBase &) = delete;

    // --- The 32 operations, in slot order; the comment gives the base behaviour.
    virtual tools::logging::Logger *GetLogger();  // "vexo.genicam.FirmwareControllerBase", made on first use
    virtual ~FirmwareControllerBase();
    virtual void FinishSetup();                                   // nothing
    virtual void PowerOn(uint32_t portMask, uint32_t reserved);   // an entry record only
    virtual void PowerOff(uint32_t portMask, uint32_t reserved);  // nothing
    // Writes `bytes` bytes, padded with zeros to a multiple of 4.
    virtual int32_t WriteMemory(uint32_t port, uint64_t address, const void *data, uint32_t bytes, ByteSwap swap,
                                uint32_t timeoutMs) = 0;
    // Writes the block as given.
    virtual int32_t WriteRaw(uint32_t port, uint64_t address, const void *data, uint32_t bytes, ByteSwap swap,
                             uint32_t timeoutMs) = 0;
    // A 4-byte write of the value.
    virtual int32_t WriteRegister(uint32_t port, uint64_t address, uint32_t value, ByteSwap swap,
                                  AcknowledgeMode acknowledgeMode, uint32_t timeoutMs) = 0;
    // Reads into a zeroed buffer rounded up to a multiple of 4; copies out only on success.
    virtual int32_t ReadMemory(uint32_t port, uint64_t address, void *buffer, uint32_t bytes,
                               uint32_t timeoutMs) = 0;
    virtual int32_t ReadRaw(uint32_t port, uint64_t address, void *buffer, uint32_t bytes, ByteSwap swap,
                            uint32_t timeoutMs) = 0;
    // The controller's discovery info, its applet side refreshed first when `update` is set.
    virtual DiscoveryInfo *GetDiscoveryInfo(bool update) = 0;
    virtual int32_t LockLinks(uint32_t portMask, uint32_t preferredSpeed);  // 0
    // Port (CoaXPress: the camera master id), three configuration words
    // (CoaXPress: bit rate, link count, unused), optional out value.
    virtual int32_t SetLinkConfig(uint32_t port, uint32_t first, uint32_t second, uint32_t third,
                                  uint32_t *outValue);                   // 0
    virtual int32_t ResetControlCore(uint32_t portMask);                 // 0
    virtual uint32_t GetAppletExtensionId(uint32_t port);                // kNoId
    virtual uint32_t GetAppletMasterId(uint32_t port);                   // kNoId
    virtual int32_t SetDiscoverySelect(DiscoverySelect value);           // -1 (0xFFFFFFFF)
    virtual DiscoverySelect GetDiscoverySelect();                        // all ones
    virtual int32_t ReadStreamPacketSizeMax(uint32_t port, uint32_t *value);  // *value := 0, 0
    virtual int32_t WriteStreamPacketSizeMax(uint32_t port, uint32_t value);  // 0
    virtual int32_t ReadControlPacketSizeMax(uint32_t port, uint32_t *value); // *value := 0, 0
    virtual int32_t Discovery(uint32_t reserved, uint32_t speed, uint32_t portMask, uint32_t flags) = 0;
    virtual void ClearAckBuffers(uint32_t port);                              // nothing
    virtual void ResetDiscoverySelect();  // SetDiscoverySelect(identity)
    virtual int32_t SetBoardProperty(uint32_t id, uint32_t index, uint32_t value);             // 0
    virtual int32_t GetBoardProperty(uint32_t id, void *value, uint32_t type, uint32_t index);  // 0
    virtual uint32_t GetNrOfPorts();                                 // 0
    virtual bool IsLinkConfigRegister(uint64_t address);             // false
    virtual bool IsLinkSynchronized(uint32_t port);                  // true
    virtual int32_t ReadCameraInfo(uint32_t port);                   // 0
    virtual int32_t SetUplinkSpeed(uint32_t port, uint32_t setting);        // ERR_INTERNAL
    virtual int32_t SetControlCoreReset(uint32_t portMask, uint32_t value); // ERR_INTERNAL

    // --- Beyond the 32 operations
    // The link check for a watcher, which must not take "could not look" for
    // a loss. The base answers from IsLinkSynchronized.
    virtual LinkSync CheckLinkSync(uint32_t port);
    // Takes over the links of a camera that are up already, without touching
    // them: 0 when every link of the camera (CoaXPress: its master id) runs
    // locked and the camera holds the master id and a link configuration of
    // `links` links at `bitRate`; then the controller records them as its own.
    // Anything else (the base: always) answers non-zero and changes nothing.
    virtual int32_t AttachLinks(uint32_t masterId, uint32_t bitRate, uint32_t links);  // ERR_NOT_IMPLEMENTED
    // True when links run on the board now (perhaps another program's): control cores running,
    // transceivers locked. Reads only.
    virtual bool HasLiveLinks();  // false
    // The board is being freed: waits of operations in flight end now and
    // later operations fail fast, so that the free does not wait them out.
    virtual void Abort();  // nothing

    // --- Shared helpers
    // Mode 0 PowerOff(mask, 0); mode 1 PowerOn(mask, 0); mode 2 PowerOff(mask, 1),
    // 1000 ms, PowerOn(mask, 0); other modes nothing.
    void SwitchPower(uint32_t portMask, uint32_t mode);

    // Port masks mapped through the current GetDiscoverySelect(): forward takes
    // camera ports to applet ports, reverse applet ports to camera ports.
    uint32_t MapPortMaskForward(uint32_t portMask);
    uint32_t MapPortMaskReverse(uint32_t portMask);
    uint32_t DiscoverySelectForwardEntry(uint32_t index);
    uint32_t DiscoverySelectReverseEntry(uint32_t index);

    // Per-port link state of the last bring-up. Ports 4 and above read 0 and are never written.
    uint32_t GetDownlinkBitRate(uint32_t port) const;
    void SetDownlinkBitRate(uint32_t port, uint32_t bitRate);
    uint32_t GetUplinkSetting(uint32_t port) const;  // kUplinkNotSet until set
    void SetUplinkSetting(uint32_t port, uint32_t setting);

    // Progress lines on standard output, "[sss.mmm] text", time since the
    // console trace was last enabled. Written only while enabled.
    void EnableConsoleTrace(bool enabled);  // also restarts the stopwatch
    bool IsConsoleTraceEnabled() const { return consoleTrace_.load(std::memory_order_relaxed); }
    void ConsoleTrace(const std::string &text) const;
    static std::string FormatConsoleTraceLine(std::chrono::nanoseconds elapsed, const std::string &text);

    // Serialises every link operation of the controller and every use of its
    // discovery info; the board and camera objects take it around their own
    // reads and changes of the model. Recursive.
    templates::platform::RecursiveMutex &LinkMutex() const { return linkMutex_; }

    uint64_t DeviceHandle() const { return device_; }
    uint64_t AppletHandle() const { return applet_; }
    ControllerOwner *Owner() const { return owner_; }
    int32_t BoardType() const { return boardType_; }
    uint32_t BoardIndex() const { return boardIndex_; }
    uint16_t FirmwareVersion() const { return firmwareVersion_; }

protected:
    // The logger of that name, fetched once; kinds use it for their own GetLogger.
    tools::logging::Logger *CachedLogger(const char *name);
    // ",board-index=",",board-serial=",",board-type=" of this board, for record contexts.
    std::string BoardItems() const;

private:
    tools::logging::LazyLogger logger_;
    uint64_t device_;
    uint64_t applet_;
    ControllerOwner *owner_;
    std::atomic<bool> consoleTrace_{false};
    int32_t boardType_;
    uint32_t boardIndex_;
    uint16_t firmwareVersion_;
    std::array<uint32_t, kPortArraySize> downlinkBitRate_;
    std::array<uint32_t, kPortArraySize> uplinkSetting_;
    templates::platform::Stopwatch stopwatch_;
    mutable templates::platform::RecursiveMutex linkMutex_;
};

}  // namespace vexo::genicam
