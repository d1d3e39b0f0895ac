#include "api/ApiSupport.h"

namespace vexo::genicam {

std::string BoardItem(NOXBoardInterface *board) {
    if (board == nullptr) return HandleItem("NoxBoardHandle*", nullptr);
    return SessionItems(board->Session()) + HandleItem("NoxBoardHandle*", board);
}

std::string CameraItem(NOXCameraInterface *camera) { return HandleItem("NoxCameraHandle*", camera); }

}  // namespace vexo::genicam
