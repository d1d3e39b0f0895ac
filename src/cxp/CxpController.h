#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "board/FirmwareControllerBase.h"
#include "cxp/CxpLog.h"
#include "cxp/CxpRegisterMap.h"
#include "cxp/CxpSettings.h"

namespace vexo::genicam {

class CxpControllerImpl;

// The link controller of a CoaXPress board: finds the cameras on the board's
// ports, brings their links up, reaches their registers through control
// packets and switches Power over CoaXPress.
//
// Camera registers go through CxpControllerImpl::ExecRWPacket; the register
// operations use at least the command acknowledge timeout. Link operations
// (discovery, locking, link configuration, routing, power, the link check)
// and register operations hold the base's LinkMutex, which also guards the
// discovery info; the lock order is that mutex, then the implementation's,
// then the board's inter-process register lock.
//
// Construction reads the CXP runtime settings (a failing lookup throws
// std::runtime_error) and builds the implementation; with `powerUp` set it
// ends with PowerOn(0xF).
class CxpController : public FirmwareControllerBase {
public:
    // Flag bit of Discovery: negotiate the camera's own default speed first.
    static constexpr uint32_t kFlagCameraDefaultSpeed = 0x10;

    CxpController(uint64_t device, uint64_t applet, ControllerOwner *owner, uint32_t reserved, uint32_t powerUp);
    ~CxpController() override;

    tools::logging::Logger *GetLogger() override;

    // --- Power (no result; the wait after a change happens under the mutex)
    void PowerOn(uint32_t portMask, uint32_t reserved) override;
    void PowerOff(uint32_t portMask, uint32_t reserved) override;
    // Ids, port below 5 (else ERR_INVALID_LINK_INDEX): 5 link synchronised
    // (u32 0/1), 6 always 1 (u32), 7 power state code (u32), 8 supply voltage
    // (double, volts), 9 supply current (double), 11 transceiver error count
    // (u32), 12 transceiver lock state (u32 0/1, the last check's). Others:
    // ERR_UNKNOWN_PROPERTY. `type` names the caller's buffer, 1 for u32 and 2
    // for double; another one gives ERR_INVALID_DATA_TYPE and writes nothing.
    int32_t GetBoardProperty(uint32_t id, void *value, uint32_t type, uint32_t index) override;

    // --- Camera registers (addresses are 32-bit; a block may not run past 4 GiB)
    // Blocks whose size is not a multiple of 4 go through a zero-padded copy,
    // so no requested byte is left out.
    int32_t WriteMemory(uint32_t port, uint64_t address, const void *data, uint32_t bytes, ByteSwap swap,
                        uint32_t timeoutMs) override;
    int32_t WriteRaw(uint32_t port, uint64_t address, const void *data, uint32_t bytes, ByteSwap swap,
                     uint32_t timeoutMs) override;
    int32_t WriteRegister(uint32_t port, uint64_t address, uint32_t value, ByteSwap swap, AcknowledgeMode acknowledgeMode,
                          uint32_t timeoutMs) override;
    int32_t ReadMemory(uint32_t port, uint64_t address, void *buffer, uint32_t bytes, uint32_t timeoutMs) override;
    int32_t ReadRaw(uint32_t port, uint64_t address, void *buffer, uint32_t bytes, ByteSwap swap,
                    uint32_t timeoutMs) override;
    int32_t ReadStreamPacketSizeMax(uint32_t port, uint32_t *value) override;
    int32_t WriteStreamPacketSizeMax(uint32_t port, uint32_t value) override;
    int32_t ReadControlPacketSizeMax(uint32_t port, uint32_t *value) override;
    // Logs and drops whatever waits in the port's acknowledgment buffer.
    void ClearAckBuffers(uint32_t port) override;
    bool IsLinkConfigRegister(uint64_t address) override;  // ConnectionReset to ConnectionConfig

    // --- Discovery and links
    // Resets the links, detects their speed, learns which links belong to
    // which camera, records them in the discovery info, has the owner allocate
    // a camera operator per camera and negotiates each camera's final link
    // configuration. `portMask` must hold every port of the board (else
    // ERR_INVALID_PORT; a board without ports refuses every mask), `speed` 0
    // or a rate the board accepts (else ERR_INVALID_LINK_SPEED, before any
    // register access). Flags: kFlagCameraDefaultSpeed. ERR_LINK_LAYOUT_MISMATCH
    // when a camera could not be given its final link configuration; the
    // other cameras are configured all the same.
    int32_t Discovery(uint32_t reserved, uint32_t speed, uint32_t portMask, uint32_t flags) override;
    // The discovery info; with `update` its applet side is read from the
    // applet first (ports without an operator, id 0, record none).
    DiscoveryInfo *GetDiscoveryInfo(bool update) override;
    // Locks the camera ports of the mask at the preferred speed or the next
    // candidate: 0 when all lock; when only some do, the camera on them is
    // configured for that speed (SetLinkConfig's status); ERR_STREAM_PACKET_SIZE_REJECTED
    // (-1202) when none locks at any speed. A preferred speed the board does
    // not accept counts as none.
    int32_t LockLinks(uint32_t portMask, uint32_t preferredSpeed) override;
    // Configures the camera `masterId` for `links` links at `bitRate` Mbit/s
    // and relocks its links; the fourth word is unused. Writes the applied
    // ConnectionConfig value to *outValue (when given) on success. -1202 for a
    // camera the discovery info does not know.
    int32_t SetLinkConfig(uint32_t masterId, uint32_t bitRate, uint32_t links, uint32_t unused,
                          uint32_t *outValue) override;
    // Both release downlink transceivers held in reset; they return once the
    // links that were up have locked again (at most the synchronisation wait).
    int32_t ResetControlCore(uint32_t portMask) override;  // resets 6, 2, 0
    int32_t SetControlCoreReset(uint32_t portMask, uint32_t value) override;
    uint32_t GetAppletExtensionId(uint32_t port) override;
    uint32_t GetAppletMasterId(uint32_t port) override;
    // Holds the downlinks in reset while the routing changes, then waits for
    // the links that were up to lock again.
    int32_t SetDiscoverySelect(DiscoverySelect value) override;
    DiscoverySelect GetDiscoverySelect() override;
    uint32_t GetNrOfPorts() override;
    // False once more transceiver errors than "CXP::ErrorsPerMillisecondBeforeDesync"
    // per millisecond came since the last check; checks at most every 100 ms
    // and answers the last result in between, without a register access.
    // Always false for a port the board does not have, and false when the
    // error counter cannot be read (register lock not had in time).
    bool IsLinkSynchronized(uint32_t port) override;
    // As IsLinkSynchronized, with kUnknown for a counter that cannot be read;
    // that check stays due, the last result stands.
    LinkSync CheckLinkSync(uint32_t port) override;
    // Reads the device strings of the camera whose master link is on the
    // physical port into the discovery info; 0 also when none is there.
    int32_t ReadCameraInfo(uint32_t port) override;
    // `setting`: a bit rate in Mbit/s, or the uplink setting 0 (low) / 1 (high)
    // as GetUplinkSetting reports it. Waits "CXP::WaitAfterUplinkSpeedChanged"
    // afterwards. Ports of 4 or more: ERR_INVALID_ARGUMENT.
    int32_t SetUplinkSpeed(uint32_t port, uint32_t setting) override;

    // Locks the links of the mask (physical camera ports; their transceivers
    // do not move with the routing) at one speed. With `locked`: the ports that locked, and
    // ERR_LINK_TIMEOUT when none did; without: every port must lock.
    // `extraWaitMs` is waited after the uplink change.
    int32_t LockLinksAtSpeed(uint32_t portMask, uint32_t speed, uint32_t *locked, uint32_t extraWaitMs);

    const cxp::CxpSettings &Settings() const { return settings_; }
    CxpControllerImpl &Impl() { return *impl_; }
    // The ports of the last speed detection that found a link, and their bit rates (0: none).
    uint32_t FoundPortsMask();
    uint32_t DetectedBitRate(uint32_t port);

private:
    struct CameraRegister;

    BoardFamily Family() const;
    uint32_t RaiseTimeout(uint32_t timeoutMs) const;
    int32_t AccessBlock(Access access, uint32_t port, uint64_t address, void *buffer, uint32_t bytes, ByteSwap swap,
                        AcknowledgeMode acknowledgeMode, uint32_t timeoutMs);
    int32_t AccessPadded(Access access, uint32_t port, uint64_t address, const void *source, void *target,
                         uint32_t bytes, ByteSwap swap, uint32_t timeoutMs);
    int32_t ReadCameraRegister(uint32_t port, uint32_t address, uint32_t &value, uint32_t timeoutMs);
    int32_t ReadPacketSizeRegister(uint32_t port, uint32_t address, uint32_t *value);
    int32_t WriteCameraRegister(uint32_t port, uint32_t address, uint32_t value, AcknowledgeMode acknowledgeMode,
                                uint32_t timeoutMs);
    void Sleep(uint32_t milliseconds);
    void SleepLogged(uint32_t milliseconds);
    void RecordCameraInfo(uint32_t masterId, uint32_t commandPort, const CameraRegister &item);

    // Discovery steps (CxpControllerDiscovery.cpp).
    int32_t PerformCoreReset(uint32_t portMask);
    int32_t PerformLinkReset(uint32_t portMask);
    int32_t PerformSpeedDetect(uint32_t speed, uint32_t portMask);
    int32_t ScanTopology();
    int32_t SaveCameraInfo(uint32_t flags);
    int32_t SearchExtensionLinks(uint32_t masterId, uint32_t bitRate);
    int32_t RecordCameraParameters(uint32_t masterId, uint32_t commandPort);
    int32_t SetFinalLink(uint32_t speed, uint32_t flags);
    int32_t NegotiateFinalLink(uint32_t masterId, uint32_t speed, uint32_t flags, uint32_t &links);
    // SetLinkConfig with the level at which a camera's refusal is logged.
    int32_t ConfigureCameraLinks(uint32_t masterId, uint32_t bitRate, uint32_t links, uint32_t *outValue,
                                 uint32_t refusalLevel);
    int32_t AlignLinkCount(uint32_t masterId, uint32_t commandPort, uint32_t wantedLinks, uint32_t discovered);
    uint32_t OperatorLinkCount(uint32_t masterId);
    void SetDiscoveryLedModes();

    // Power (CxpControllerPower.cpp).
    void SwitchPowerMask(uint32_t portMask, bool on);
    uint32_t PowerState(uint32_t port);
    // One of the two measurements, from the register each family keeps it in.
    double PowerMeasurement(uint32_t port, bool voltage);

    // Links (CxpControllerLinks.cpp).
    int32_t SetUplinks(uint32_t physicalMask, uint32_t speed);
    int32_t SetDownlinks(uint32_t physicalMask, uint32_t speed);
    uint32_t WaitForLinkSynchronisation(uint32_t physicalMask, int32_t &status);
    void AwaitRelock(uint32_t releasedMask);
    uint32_t VerifyStandardMagic(uint32_t synchronised, uint32_t speed);
    void RecordSyncBaseline(uint32_t physicalMask, uint32_t lockedMask);
    void ForgetDetectedRates(uint32_t portMask);
    void RecordDetectedRates(uint32_t portMask, uint32_t speed);

    cxp::CxpSettings settings_;
    cxp::CxpLog log_;
    std::unique_ptr<CxpControllerImpl> impl_;
    // The last speed detection: ports with a link and their bit rates.
    uint32_t foundPorts_ = 0;
    std::array<uint32_t, 4> portBitRate_{};
};

}  // namespace vexo::genicam
