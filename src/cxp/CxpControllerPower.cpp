// Power over CoaXPress and the board properties of CxpController.
#include <cstring>

#include "cxp/CxpController.h"
#include "cxp/CxpControllerImpl.h"
#include "cxp/CxpPowerReadings.h"
#include "logging/Record.h"
#include "nox_genicam.h"

namespace vexo::genicam {

using cxp::CxpRegister;
using templates::platform::RecursiveMutex;
using tools::logging::PortMaskItem;
using tools::logging::kLevelDetail;
using tools::logging::kLevelError;
using tools::logging::kLevelWarning;

namespace {

constexpr uint32_t kPropertyLinkSynchronized = 5;
constexpr uint32_t kPropertyAlwaysOne = 6;
constexpr uint32_t kPropertyPowerState = 7;
constexpr uint32_t kPropertySupplyVoltage = 8;
constexpr uint32_t kPropertySupplyCurrent = 9;
constexpr uint32_t kPropertyErrorCount = 11;
constexpr uint32_t kPropertyLockState = 12;
constexpr uint32_t kPropertyPortLimit = 5;
// Value types of the property interface.
constexpr uint32_t kTypeUnsigned = 1;
constexpr uint32_t kTypeMeasurement = 2;

template <class Value>
void Store(void *target, Value value) {
    std::memcpy(target, &value, sizeof value);
}

}  // namespace

void CxpController::PowerOn(uint32_t portMask, uint32_t) { SwitchPowerMask(portMask, true); }

void CxpController::PowerOff(uint32_t portMask, uint32_t) { SwitchPowerMask(portMask, false); }

// Only the enable mask's read-modify-write is guarded against other
// processes; the wait for the cameras keeps this board's link operations out.
void CxpController::SwitchPowerMask(uint32_t portMask, bool on) {
    RecursiveMutex::Guard guard(LinkMutex());
    log_.Write(kLevelDetail, BoardItems() + PortMaskItem(portMask),
               on ? "Enabling power over CXP" : "Disabling power over CXP");
    bool changed = false;
    const int32_t status = impl_->UpdatePowerMask(on ? portMask : 0, on ? 0 : portMask, changed);
    if (status != ERR_NONE) {
        log_.Write(kLevelError, "Failed to switch power over CXP: " + std::to_string(status));
        return;
    }
    if (!changed) {
        log_.Write(kLevelDetail, "Power state unchanged");
        return;
    }
    const uint32_t wait = on ? settings_.waitAfterPowerupMs : settings_.waitAfterPowerdownMs;
    log_.Write(kLevelDetail, "Power state changed; waiting " + std::to_string(wait) +
                                 (on ? " ms for camera(s) to power up" : " ms after camera(s) power down"));
    Sleep(wait);
}

uint32_t CxpController::PowerState(uint32_t port) {
    if (port >= impl_->PortCount()) return cxp::kPowerStateUnknown;
    if (Family() == BoardFamily::kNone) {
        log_.Write(kLevelWarning, "Failed to get PoCXP status: board not supported");
        return cxp::kPowerStateUnknown;
    }
    uint64_t status = 0;
    if (impl_->ReadRegister(CxpRegister::kPowerStatus, port, status) != ERR_NONE) return cxp::kPowerStateUnknown;
    const uint32_t state = cxp::DecodePowerState(Family(), status);
    if (state == cxp::kPowerStateUnknown) log_.Write(kLevelWarning, "Failed to get PoCXP status: invalid value");
    return state;
}

// Measurements are 0 while the port is off, faulty or unknown.
double CxpController::PowerMeasurement(uint32_t port, bool voltage) {
    if (PowerState(port) >= cxp::kPowerStateFault) return 0.0;
    // Indexed by family: none, A, B, C.
    static constexpr CxpRegister kVoltageRegister[] = {CxpRegister::kCount, CxpRegister::kPowerVin,
                                                       CxpRegister::kPowerBusVoltage, CxpRegister::kPowerStatus};
    static constexpr CxpRegister kCurrentRegister[] = {CxpRegister::kCount, CxpRegister::kPowerSense,
                                                       CxpRegister::kPowerShuntVoltage, CxpRegister::kPowerStatus};
    const size_t family = static_cast<size_t>(Family());
    const CxpRegister reg = voltage ? kVoltageRegister[family] : kCurrentRegister[family];
    if (reg == CxpRegister::kCount) {
        log_.Write(kLevelWarning, "Failed to get PoCXP voltage: board not supported");
        return 0.0;
    }
    uint64_t raw = 0;
    if (impl_->ReadRegister(reg, port, raw) != ERR_NONE) return 0.0;
    return voltage ? cxp::DecodeSupplyVoltage(Family(), raw) : cxp::DecodeSupplyCurrent(Family(), raw);
}

// The type tells the size of the caller's buffer, so a value is only written
// into a buffer of its own type.
int32_t CxpController::GetBoardProperty(uint32_t id, void *value, uint32_t type, uint32_t index) {
    if (index >= kPropertyPortLimit) return ERR_INVALID_LINK_INDEX;
    if (value == nullptr) return ERR_INVALID_POINTER;
    const bool measurement = id == kPropertySupplyVoltage || id == kPropertySupplyCurrent;
    const bool known = measurement || id == kPropertyLinkSynchronized || id == kPropertyAlwaysOne ||
                       id == kPropertyPowerState || id == kPropertyErrorCount || id == kPropertyLockState;
    if (!known) return ERR_UNKNOWN_PROPERTY;
    if (type != (measurement ? kTypeMeasurement : kTypeUnsigned)) return ERR_INVALID_DATA_TYPE;
    RecursiveMutex::Guard guard(LinkMutex());
    switch (id) {
        case kPropertyLinkSynchronized: Store<uint32_t>(value, IsLinkSynchronized(index) ? 1 : 0); break;
        case kPropertyAlwaysOne: Store<uint32_t>(value, 1); break;
        case kPropertyPowerState: Store<uint32_t>(value, PowerState(index)); break;
        case kPropertySupplyVoltage: Store<double>(value, PowerMeasurement(index, true)); break;
        case kPropertySupplyCurrent: Store<double>(value, PowerMeasurement(index, false)); break;
        case kPropertyErrorCount:
            Store<uint32_t>(value, static_cast<uint32_t>(impl_->ReadTransceiverErrorCount(index).value_or(0)));
            break;
        default: Store<uint32_t>(value, index < cxp::kMaxPorts && impl_->Sync(index).inSync ? 1 : 0); break;
    }
    return ERR_NONE;
}

}  // namespace vexo::genicam
