#pragma once
#include <cstdint>

#include "logging/Logger.h"

namespace vexo::genicam::cxp {

// The tunable timing of the CoaXPress controller, read once from the runtime
// settings when a controller is built. Durations in milliseconds. A negative
// setting means no wait, never a wait of four billion milliseconds.
struct CxpSettings {
    uint32_t commandAckTimeoutMs = 300;
    uint32_t waitAfterLinkResetOnEachPortMs = 0;
    uint32_t waitAfterLinkResetDoneMs = 300;
    uint32_t waitAfterLinkLockFoundMs = 0;
    uint32_t waitAfterCameraConfigDoneMs = 750;
    uint32_t waitAfterUplinkSpeedChangedMs = 200;
    uint32_t waitAfterPowerupMs = 2000;
    uint32_t waitAfterPowerdownMs = 0;
    uint32_t errorsPerMsBeforeDesync = 100;
    bool useConnectionConfigDefault = false;
    bool receiveAckPacketOnLinkConfig = false;
    bool skipRegisterCheckOnLinkConfig = false;

    // Reads every value, in the order above; lookup failures propagate
    // (std::runtime_error from the settings store).
    static CxpSettings Load();
    // One level-3 line per value, in the same order.
    void Log(tools::logging::Logger *logger) const;
};

// "CXP::MaxControlPacketSize" in bytes: 0 and anything above 2048 give 2048.
uint32_t LoadMaxControlPacketSize();
// "Global::EnablePCAP".
bool LoadPacketCaptureEnabled();

}  // namespace vexo::genicam::cxp
