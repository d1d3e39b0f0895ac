#include "api/ApiSupport.h"

namespace vexo::genicam {

std::string BoardItem(NoxBoardHandle *handle) {
    const BoardPin board = Board(handle);
    const std::string item = HandleItem("NoxBoardHandle*", handle);
    return board != nullptr ? SessionItems(board->Session()) + item : item;
}

std::string CameraItem(NoxCameraHandle *handle) { return HandleItem("NoxCameraHandle*", handle); }

}  // namespace vexo::genicam
