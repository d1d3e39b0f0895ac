#include "cxp/CxpSettings.h"

#include <algorithm>
#include <string>

#include "cxp/CxpPacket.h"
#include "logging/Record.h"
#include "settings/TweakProperties.h"

namespace vexo::genicam::cxp {

namespace {

using templates::platform::TweakProperties;

uint32_t Wait(const char *key) { return static_cast<uint32_t>(std::max(0, TweakProperties::GetInt32(key))); }

std::string Switch(bool on) { return on ? "On" : "Off"; }

}  // namespace

CxpSettings CxpSettings::Load() {
    CxpSettings settings;
    settings.commandAckTimeoutMs = TweakProperties::GetUInt32("CXP::CommandAckTimeout");
    settings.waitAfterLinkResetOnEachPortMs = Wait("CXP::WaitAfterLinkResetOnEachPort");
    settings.waitAfterLinkResetDoneMs = Wait("CXP::WaitAfterLinkResetDone");
    settings.waitAfterLinkLockFoundMs = Wait("CXP::WaitAfterLinkLockFound");
    settings.waitAfterCameraConfigDoneMs = Wait("CXP::WaitAfterCameraConfigDone");
    settings.waitAfterUplinkSpeedChangedMs = Wait("CXP::WaitAfterUplinkSpeedChanged");
    settings.waitAfterPowerupMs = Wait("CXP::WaitAfterPowerup");
    settings.waitAfterPowerdownMs = Wait("CXP::WaitAfterPowerdown");
    settings.errorsPerMsBeforeDesync = Wait("CXP::ErrorsPerMillisecondBeforeDesync");
    settings.useConnectionConfigDefault = TweakProperties::GetBool("CXP::UseConnectionConfigDefault");
    settings.receiveAckPacketOnLinkConfig = TweakProperties::GetBool("CXP::ReceiveAckPacketOnLinkConfig");
    settings.skipRegisterCheckOnLinkConfig = TweakProperties::GetBool("CXP::SkipRegisterCheckOnLinkConfig");
    return settings;
}

void CxpSettings::Log(tools::logging::Logger *logger) const {
    if (!logger->IsEnabled(tools::logging::kLevelInfo)) return;
    const std::pair<const char *, std::string> lines[] = {
        {"Using VEXO_CXP_COMMAND_ACK_TIMEOUT\t\t\t\t\t\t(ms) = ", std::to_string(commandAckTimeoutMs)},
        {"Using VEXO_CXP_WAIT_AFTER_LINK_RESET_ON_EACH_PORT\t\t\t(ms) = ",
         std::to_string(waitAfterLinkResetOnEachPortMs)},
        {"Using VEXO_CXP_WAIT_AFTER_LINK_RESET_DONE\t\t\t\t\t(ms) = ", std::to_string(waitAfterLinkResetDoneMs)},
        {"Using VEXO_CXP_WAIT_AFTER_LINK_LOCK_FOUND\t\t\t\t\t(ms) = ", std::to_string(waitAfterLinkLockFoundMs)},
        {"Using VEXO_CXP_WAIT_AFTER_CAMERA_CONFIG_CHANGED\t\t\t(ms) = ",
         std::to_string(waitAfterCameraConfigDoneMs)},
        {"Using VEXO_CXP_WAIT_AFTER_UPLINK_SPEED_CHANGED\t\t\t(ms) = ",
         std::to_string(waitAfterUplinkSpeedChangedMs)},
        {"Using VEXO_CXP_WAIT_AFTER__AFTER_POWERUP\t\t\t\t\t(ms) = ", std::to_string(waitAfterPowerupMs)},
        {"Using VEXO_CXP_WAIT_AFTER__AFTER_POWERDOWN\t\t\t\t(ms) = ", std::to_string(waitAfterPowerdownMs)},
        {"Using VEXO_CXP_ERRORS_PER_MS_BEFORE_DESYNC\t\t\t\t(ms) = ", std::to_string(errorsPerMsBeforeDesync)},
        {"Using VEXO_CXP_USE_CONNECTION_CONFIG_DEFAULT\t\t\t\t\t = ", Switch(useConnectionConfigDefault)},
        {"Using VEXO_CXP_RECEIVE_ACK_PACKET_AFTER_CAMERA_CONFIG_CHANGED  = ", Switch(receiveAckPacketOnLinkConfig)},
        {"Using VEXO_CXP_SKIP_REGISTER_CHECK_AFTER_LINK_LOCK_FOUND       = ", Switch(skipRegisterCheckOnLinkConfig)},
    };
    for (const auto &[label, value] : lines) WriteRecord(logger, tools::logging::kLevelInfo, {}, label + value);
}

uint32_t LoadMaxControlPacketSize() {
    const int32_t bytes = TweakProperties::GetInt32("CXP::MaxControlPacketSize");
    if (bytes <= 0 || static_cast<uint32_t>(bytes) > kMaxControlPacketBytes) return kMaxControlPacketBytes;
    return static_cast<uint32_t>(bytes);
}

bool LoadPacketCaptureEnabled() { return TweakProperties::GetBool("Global::EnablePCAP"); }

}  // namespace vexo::genicam::cxp
