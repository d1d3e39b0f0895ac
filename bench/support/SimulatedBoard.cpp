#include "SimulatedBoard.h"

#include <cstdlib>
#include <initializer_list>

namespace nox_bench {

void UseFastWaits() {
    for (const char *name :
         {"VEXO_CXP_WAIT_AFTER_LINK_RESET_ON_EACH_PORT", "VEXO_CXP_WAIT_AFTER_LINK_RESET_DONE",
          "VEXO_CXP_WAIT_AFTER_LINK_LOCK_FOUND", "VEXO_CXP_WAIT_AFTER_CAMERA_CONFIG_CHANGED",
          "VEXO_CXP_WAIT_AFTER_UPLINK_SPEED_CHANGED", "VEXO_CXP_WAIT_AFTER_POWERUP", "VEXO_CXP_WAIT_AFTER_POWERDOWN",
          "VEXO_NOX_SYNC_MONITOR_INITIAL_WAIT_IN_MS", "VEXO_CL_CONNECTION_RETRY_WAIT"})
        ::setenv(name, "0", 1);
}

SimulatedBoard::SimulatedBoard(uint32_t index) {
    session_ = OpenGrabber(index);
    if (session_ != nullptr && Nox_initBoardEx(session_, 0, &board_, 0xF) != ERR_NONE) board_ = nullptr;
}

SimulatedBoard::~SimulatedBoard() {
    if (board_ != nullptr) Nox_freeBoard(board_);
    if (session_ != nullptr) CloseGrabber(session_);
}

int32_t SimulatedBoard::Scan() {
    const int32_t status = Nox_scanPorts(board_, 0xF, 0, 0);
    return status == ERR_NONE ? Nox_getCameraCount(board_) : status;
}

bool SimulatedBoard::ScanAndConnect() {
    return Ok() && Scan() > 0 && Nox_LinkConnect(board_, nullptr) == ERR_NONE;
}

NoxCameraHandle *SimulatedBoard::Camera(uint32_t index) const {
    NoxCameraHandle *camera = nullptr;
    return Nox_getCameraByIndex(board_, index, &camera) == ERR_NONE ? camera : nullptr;
}

ConnectedCamera::ConnectedCamera(bool loadDescription) : board_(0) {
    if (!board_.Ok() || board_.Scan() <= 0) return;
    NoxCameraHandle *camera = board_.Camera(0);
    if (camera == nullptr || Nox_LinkConnect(board_.Handle(), camera) != ERR_NONE) return;
    if (!loadDescription || Nox_connectCamera(camera) == ERR_NONE) camera_ = camera;
}

}  // namespace nox_bench
