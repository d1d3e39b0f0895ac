// How many links a camera has on the board, takes on its camera operator and runs: what tells a
// camera on a narrower operator (or missing a cable) from one that runs as it should.
#include <algorithm>
#include <exception>
#include <vector>

#include "api/ApiSupport.h"
#include "discovery/DiscoveryInfo.h"
#include "nox_genicam_ext.h"

using namespace vexo::genicam;

namespace {

uint32_t CountOrZero(int32_t count) { return count > 0 ? static_cast<uint32_t>(count) : 0; }

// The links of the camera operators the camera's links are connected to: one operator, or on a
// Camera Link HS board one single-port operator per link; without a connected link, the operator of
// the command port.
uint32_t OperatorLinks(const DiscoveryInfo &info, uint32_t masterId, uint32_t commandPort) {
    std::vector<uint32_t> operators;
    for (uint32_t port = 0; port < info.GetPortCount(); ++port) {
        if (info.GetCameraMasterId(port) != masterId) continue;
        const uint32_t apPort = info.GetCameraPeerIndex(port);
        const uint32_t apMaster = apPort == DiscoveryInfo::kNone ? DiscoveryInfo::kNone : info.GetApMasterId(apPort);
        if (apMaster != DiscoveryInfo::kNone && std::find(operators.begin(), operators.end(), apMaster) == operators.end())
            operators.push_back(apMaster);
    }
    if (operators.empty()) return CountOrZero(info.CountApLinks(info.GetApMasterId(commandPort)));
    uint32_t links = 0;
    for (uint32_t apMaster : operators) links += CountOrZero(info.CountApLinks(apMaster));
    return links;
}

}  // namespace

extern "C" NOX_API int32_t Nox_getCameraLinkCounts(NoxCameraHandle *handle, NoxCameraLinkCounts *counts) {
    NOX_CALL_FRAME(frame, "Nox_getCameraLinkCounts", CameraContext(handle));
    CameraPin camera = Camera(handle);
    if (camera == nullptr) return Refuse(frame, ERR_INVALID_CAMERA_HANDLE, "Invalid camera handle");
    if (counts == nullptr) return Refuse(frame, ERR_INVALID_ARGUMENT, "Invalid counts pointer");
    NOXBoardInterface *board = camera->Board();
    if (board == nullptr || board->Controller() == nullptr)
        return Refuse(frame, ERR_NO_CXP_INTERFACE, "The camera's board is gone");
    try {
        vexo::templates::platform::RecursiveMutex::Guard model(board->Controller()->LinkMutex());
        const DiscoveryInfo *info = board->GetDiscoveryInfo(false);
        if (info == nullptr) return Refuse(frame, ERR_NO_CXP_INTERFACE, "The board has no link model");
        const uint32_t masterId = camera->MasterId();
        NoxCameraLinkCounts answer{};
        answer.cabledLinks = CountOrZero(info->CountCameraLinks(masterId));
        answer.operatorLinks = OperatorLinks(*info, masterId, camera->CommandPort());
        answer.usedLinks = camera->LinkCount();
        *counts = answer;
        return frame.Return(ERR_NONE);
    } catch (const std::exception &error) {
        return Refuse(frame, ERR_INTERNAL, error.what());
    }
}
