#include "api/ApiSupport.h"

namespace vexo::genicam {

std::string BoardItem(NoxBoardHandle *handle) {
    const BoardPin board = Board(handle);
    const std::string item = HandleItem("NoxBoardHandle*", handle);
    return board != nullptr ? SessionItems(board->Session()) + item : item;
}

std::string CameraItem(NoxCameraHandle *handle) { return HandleItem("NoxCameraHandle*", handle); }

ContextFunction CameraContext(NoxCameraHandle *handle) {
    return [=] { return CameraItem(handle); };
}

ParameterFunction FeatureText(const char *name) {
    return [=] { return std::string("Feature: ") + (name != nullptr ? name : ""); };
}

int32_t Refuse(CallFrameResult &frame, int32_t status, const std::string &message) {
    frame.LogError(message);
    return frame.Return(status);
}

}  // namespace vexo::genicam
