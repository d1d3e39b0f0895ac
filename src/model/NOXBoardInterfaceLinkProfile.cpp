// The board's low-level link profile: its port routing and uplink speeds
// stored to a file and put back without a discovery.
#include <fstream>
#include <iterator>
#include <map>
#include <utility>

#include "discovery/DiscoverySelect.h"
#include "model/NOXBoardInterface.h"
#include "plex/LowLevelLinkProfile.h"

namespace vexo::genicam {

using core::plex::LowLevelLinkProfile;
using templates::platform::RecursiveMutex;

namespace {

constexpr uint32_t kAllPorts = 0xF;
constexpr uint32_t kResetForRouting = 6;  // acknowledgment receiver and uplink held while the routing changes

bool HasOperator(uint32_t masterId) { return masterId != 0 && masterId != FirmwareControllerBase::kNoId; }

// The text of a file, or nothing when it cannot be read or is far too large to be a profile.
std::optional<std::string> ReadProfileText(std::ifstream &file) {
    std::string text;
    text.resize(LowLevelLinkProfile::kMaxFileBytes + 1);
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(file.gcount()));
    if (text.size() > LowLevelLinkProfile::kMaxFileBytes || file.bad()) return std::nullopt;
    return text;
}

// The routing that feeds every current camera operator from the physical port
// that fed the same operator when the profile was stored; ports no operator
// claims are paired up as discovery pairs them. Nothing when the applet has an
// operator the profile does not know.
std::optional<DiscoverySelect> RoutingFor(const LowLevelLinkProfile &stored, FirmwareControllerBase &controller) {
    const DiscoverySelect storedRouting(stored.select);
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> feedingPort;
    for (uint32_t apPort = 0; apPort < LowLevelLinkProfile::kPorts; ++apPort)
        if (stored.apMasterId[apPort] != 0)
            feedingPort[{stored.apMasterId[apPort], stored.apExtensionId[apPort]}] = storedRouting.ReverseEntry(apPort);

    DiscoverySelect routing(DiscoverySelect::kNoRoutes);
    for (uint32_t apPort = 0; apPort < LowLevelLinkProfile::kPorts; ++apPort) {
        const uint32_t masterId = controller.GetAppletMasterId(apPort);
        if (!HasOperator(masterId)) continue;
        const auto found = feedingPort.find({masterId, controller.GetAppletExtensionId(apPort)});
        if (found == feedingPort.end()) return std::nullopt;
        routing.Assign(found->second, apPort);
    }
    routing.AssignFreePorts(LowLevelLinkProfile::kPorts);
    return routing;
}

int32_t ApplyRouting(FirmwareControllerBase &controller, DiscoverySelect routing, const LowLevelLinkProfile &stored) {
    if (controller.SetControlCoreReset(kAllPorts, kResetForRouting) != 0) return ERR_INTERNAL;
    for (uint32_t port = 0; port < LowLevelLinkProfile::kPorts; ++port) {
        // A port whose uplink was never set when the profile was stored keeps its own.
        const bool feeds = routing.ForwardEntry(port) < DiscoverySelect::kEntryCount;
        if (!feeds || stored.speed[port] == FirmwareControllerBase::kUplinkNotSet) continue;
        if (controller.SetUplinkSpeed(port, stored.speed[port]) != 0) return ERR_INTERNAL;
    }
    if (controller.SetDiscoverySelect(routing) != 0) return ERR_INTERNAL;
    if (controller.SetControlCoreReset(kAllPorts, 0) != 0) return ERR_INTERNAL;
    return ERR_NONE;
}

}  // namespace

int32_t NOXBoardInterface::StoreLinkProfile(const std::string &path) {
    if (controller_ == nullptr) return ERR_INVALID_BOARD_HANDLE;
    if (!IsCxp()) return ERR_NOT_IMPLEMENTED;
    std::ofstream file(path, std::ios::out | std::ios::trunc);
    if (!file) return ERR_FILE_ACCESS;

    LowLevelLinkProfile profile;
    {
        RecursiveMutex::Guard links(controller_->LinkMutex());
        profile.select = controller_->GetDiscoverySelect().Value();
        for (uint32_t port = 0; port < LowLevelLinkProfile::kPorts; ++port) {
            profile.apMasterId[port] = controller_->GetAppletMasterId(port);
            profile.apExtensionId[port] = controller_->GetAppletExtensionId(port);
            profile.speed[port] = controller_->GetUplinkSetting(port);
        }
    }
    profile.Write(file);
    file.close();
    // A profile that did not reach the disk whole would restore something else.
    return file.fail() ? ERR_FILE_ACCESS : ERR_NONE;
}

int32_t NOXBoardInterface::RestoreLinkProfile(const std::string &path) {
    if (controller_ == nullptr) return ERR_INVALID_BOARD_HANDLE;
    if (!IsCxp()) return ERR_NOT_IMPLEMENTED;
    std::ifstream file(path, std::ios::in | std::ios::binary);
    if (!file) return ERR_FILE_ACCESS;
    const std::optional<std::string> text = ReadProfileText(file);
    if (!text) return ERR_INVALID_ARGUMENT;
    const std::optional<LowLevelLinkProfile> stored = LowLevelLinkProfile::Parse(*text);
    if (!stored) return ERR_INVALID_ARGUMENT;

    RecursiveMutex::Guard links(controller_->LinkMutex());
    const std::optional<DiscoverySelect> routing = RoutingFor(*stored, *controller_);
    if (!routing) return ERR_LINK_LAYOUT_MISMATCH;
    return ApplyRouting(*controller_, *routing, *stored);
}

}  // namespace vexo::genicam
