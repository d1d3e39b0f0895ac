#include "model/CameraOperatorAllocation.h"

#include <bit>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "board/FirmwareControllerBase.h"
#include "discovery/DiscoveryInfo.h"
#include "logging/Record.h"
#include "nox_genicam.h"

namespace vexo::genicam {

using tools::logging::kLevelDetail;
using tools::logging::kLevelError;

namespace {

constexpr uint32_t kNone = DiscoveryInfo::kNone;

// One allocation: the model, the camera and the terms every tier uses.
class Allocation {
public:
    Allocation(DiscoveryInfo &info, uint32_t masterId, tools::logging::Logger *logger)
        : info_(info),
          masterId_(masterId),
          logger_(logger),
          ports_(info.GetPortCount()),
          cameraLinks_(info.CountCameraLinks(masterId)),
          cameraMask_(info.GetCameraPortMask(masterId, -1)),
          masterPort_(static_cast<int32_t>(info.FindCameraMasterPort(masterId))) {}

    int32_t Run(FirmwareControllerBase &controller, bool isClhs);

private:
    struct Choice {
        uint32_t apMaster = kNone;
        int32_t score = 0;
        int32_t links = 0;
    };

    void Log(uint32_t level, const std::string &text) const {
        if (logger_ != nullptr) WriteRecord(logger_, level, {}, text);
    }
    void ReadAppletSide(FirmwareControllerBase &controller);
    std::vector<uint32_t> FreeApMasters() const;
    int32_t Links(uint32_t apMaster) const { return info_.CountApLinks(apMaster); }
    int32_t Overlap(uint32_t apMaster, int32_t cameraMask) const;
    bool CoversMasterPort(uint32_t apMaster, int32_t cameraMask) const;

    // A tier answers nothing when it has no candidate, else the status of connecting.
    std::optional<int32_t> SameSize(const std::vector<uint32_t> &free);
    std::optional<int32_t> SinglePortOperators(const std::vector<uint32_t> &free);
    std::optional<int32_t> Smaller(const std::vector<uint32_t> &free);
    int32_t Larger(const std::vector<uint32_t> &free);
    // Connects the camera's links in ascending extension id to extensions 0, 1, ...
    // of `apMaster` (at most `maxLinks`), or each to extension 0 of the next of `apMasters`.
    int32_t Connect(uint32_t apMaster, int32_t maxLinks);
    int32_t ConnectEach(const std::vector<uint32_t> &apMasters);
    void CorrectCommandPort(uint32_t firstApMaster, uint32_t &extension, uint32_t &port);

    DiscoveryInfo &info_;
    uint32_t masterId_;
    tools::logging::Logger *logger_;
    uint32_t ports_;
    int32_t cameraLinks_;
    int32_t cameraMask_;
    int32_t masterPort_;
};

int32_t Allocation::Run(FirmwareControllerBase &controller, bool isClhs) {
    if (cameraLinks_ < 1 || cameraMask_ < 1) {
        Log(kLevelError, "No ports to be configured!");
        return ERR_NO_CAMERA_FOUND;
    }
    if (!info_.IsApTopologyKnown()) ReadAppletSide(controller);
    const std::vector<uint32_t> free = FreeApMasters();
    if (const std::optional<int32_t> status = SameSize(free)) return *status;
    if (isClhs)
        if (const std::optional<int32_t> status = SinglePortOperators(free)) return *status;
    if (const std::optional<int32_t> status = Smaller(free)) return *status;
    return Larger(free);
}

void Allocation::ReadAppletSide(FirmwareControllerBase &controller) {
    for (uint32_t port = 0; port < ports_; ++port) {
        if (info_.GetApMasterId(port) != kNone && info_.GetApExtensionId(port) != kNone) continue;
        const uint32_t apMaster = controller.GetAppletMasterId(port);
        const uint32_t extension = controller.GetAppletExtensionId(port);
        info_.SetApPort(port, apMaster == 0 ? kNone : apMaster, apMaster == 0 ? kNone : extension);
    }
    info_.SetApTopologyKnown();
}

std::vector<uint32_t> Allocation::FreeApMasters() const {
    std::vector<uint32_t> free;
    for (uint32_t port = 0; port < ports_; ++port)
        if (info_.GetApExtensionId(port) == 0 && info_.GetApMasterId(port) != kNone &&
            info_.GetApPeerIndex(port) == kNone)
            free.push_back(info_.GetApMasterId(port));
    return free;
}

int32_t Allocation::Overlap(uint32_t apMaster, int32_t cameraMask) const {
    const uint32_t lowPorts = ports_ >= 32 ? ~0u : (1u << ports_) - 1;
    const uint32_t both = static_cast<uint32_t>(info_.GetApMasterPortMask(apMaster)) &
                          static_cast<uint32_t>(cameraMask) & lowPorts;
    return std::popcount(both);
}

bool Allocation::CoversMasterPort(uint32_t apMaster, int32_t cameraMask) const {
    if (masterPort_ < 0 || masterPort_ >= 32) return false;
    const uint32_t both = static_cast<uint32_t>(info_.GetApMasterPortMask(apMaster)) & static_cast<uint32_t>(cameraMask);
    return (both >> masterPort_ & 1) != 0;
}

std::optional<int32_t> Allocation::SameSize(const std::vector<uint32_t> &free) {
    Choice best;
    for (uint32_t candidate : free) {
        if (Links(candidate) != cameraLinks_) continue;
        if (best.apMaster == kNone) {
            Log(kLevelDetail, "Free AP masters with matching number of ports found, looking for best match...");
            best.apMaster = candidate;
        }
        const int32_t score = Overlap(candidate, cameraMask_);
        if (score > best.score) best = {candidate, score, 0};
        if (score == best.score && CoversMasterPort(candidate, cameraMask_)) best.apMaster = candidate;
    }
    if (best.apMaster == kNone) return std::nullopt;
    return Connect(best.apMaster, -1);
}

std::optional<int32_t> Allocation::SinglePortOperators(const std::vector<uint32_t> &free) {
    std::vector<uint32_t> singles;
    for (uint32_t candidate : free)
        if (Links(candidate) == 1) singles.push_back(candidate);
    if (singles.size() < static_cast<size_t>(cameraLinks_)) return std::nullopt;
    Log(kLevelDetail, "Enough free AP masters with single port found, looking for best matches (CLHS only)...");
    return ConnectEach(singles);
}

std::optional<int32_t> Allocation::Smaller(const std::vector<uint32_t> &free) {
    Choice best;
    for (uint32_t candidate : free) {
        const int32_t links = Links(candidate);
        if (links >= cameraLinks_) continue;
        if (best.apMaster == kNone) {
            Log(kLevelDetail, "Free AP masters with lower number of ports found, looking for best match...");
            best.apMaster = candidate;
        }
        const int32_t firstLinks = info_.GetCameraPortMask(masterId_, links);
        const int32_t score = Overlap(candidate, firstLinks);
        if (links > best.links)
            best = {candidate, score, links};
        else if (links == best.links && score > best.score)
            best = {candidate, score, links};
        else if (links == best.links && score == best.score && CoversMasterPort(candidate, firstLinks))
            best.apMaster = candidate;
    }
    if (best.apMaster == kNone) return std::nullopt;
    return Connect(best.apMaster, Links(best.apMaster));
}

int32_t Allocation::Larger(const std::vector<uint32_t> &free) {
    uint32_t best = kNone;
    const int32_t firstLink = info_.GetCameraPortMask(masterId_, 1);
    for (uint32_t candidate : free) {
        if (Links(candidate) <= cameraLinks_) continue;
        if (best == kNone) {
            Log(kLevelDetail, "Free AP masters with higher number of ports found, looking for best match...");
            best = candidate;
        }
        if (Overlap(candidate, firstLink) != 0) best = candidate;
    }
    if (best == kNone) {
        Log(kLevelError, "Allocating camera operator failed: No matching operator found for connected camera");
        return ERR_INTERNAL;
    }
    return Connect(best, -1);
}

// A camera whose master link is missing from the model still needs a command
// port: the first port of the operator it gets.
void Allocation::CorrectCommandPort(uint32_t firstApMaster, uint32_t &extension, uint32_t &port) {
    port = info_.FirstCameraLink(masterId_, extension);
    if (extension != kNone && static_cast<int32_t>(extension) > 0)
        info_.SetCommandPort(masterId_, info_.FindApPort(firstApMaster, 0));
}

int32_t Allocation::Connect(uint32_t apMaster, int32_t maxLinks) {
    try {
        uint32_t extension = kNone, port = kNone;
        CorrectCommandPort(apMaster, extension, port);
        for (uint32_t k = 0; port != kNone && (maxLinks < 0 || static_cast<int32_t>(k) < maxLinks); ++k) {
            info_.ConnectLink(masterId_, extension, apMaster, k);
            port = info_.NextCameraLink(masterId_, extension, extension);
        }
    } catch (const std::exception &) {
        Log(kLevelError, "Exception while configuring ports!");
        return ERR_INTERNAL;
    }
    return ERR_NONE;
}

int32_t Allocation::ConnectEach(const std::vector<uint32_t> &apMasters) {
    try {
        uint32_t extension = kNone, port = kNone;
        CorrectCommandPort(apMasters.front(), extension, port);
        for (size_t k = 0; port != kNone && k < apMasters.size(); ++k) {
            info_.ConnectLink(masterId_, extension, apMasters[k], 0);
            port = info_.NextCameraLink(masterId_, extension, extension);
        }
    } catch (const std::exception &) {
        Log(kLevelError, "Exception while configuring ports!");
        return ERR_INTERNAL;
    }
    return ERR_NONE;
}

}  // namespace

int32_t AllocateCameraOperator(DiscoveryInfo &info, uint32_t cameraMasterId, FirmwareControllerBase &controller,
                               bool isClhs, tools::logging::Logger *logger) {
    return Allocation(info, cameraMasterId, logger).Run(controller, isClhs);
}

}  // namespace vexo::genicam
