#include "gencp/GenCpSettings.h"

#include "settings/TweakProperties.h"

namespace vexo::genicam {

GenCpSettings GenCpSettings::Load() {
    using templates::platform::TweakProperties;
    GenCpSettings settings;
    settings.ackTimeoutMs = TweakProperties::GetUInt32("CL::GenCPAckTimeout");
    settings.connectionRetryWaitMs = TweakProperties::GetUInt32("CL::ConnectionRetryWait");
    return settings;
}

}  // namespace vexo::genicam
