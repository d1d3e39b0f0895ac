// The serial ports of Camera Link boards as the last scan left them.
#include "api/ApiSupport.h"
#include "gencp/CameraLinkController.h"
#include "nox_genicam_ext.h"

using namespace vexo::genicam;

extern "C" NOX_API int32_t Nox_getCameraLinkPortState(NoxBoardHandle *handle, uint32_t port, uint32_t *baudRate,
                                                      uint32_t *portConfiguration) {
    NOX_CALL_FRAME(frame, "Nox_getCameraLinkPortState", [=] { return BoardItem(handle) + PortIndexItem(port); });
    BoardPin board = Board(handle);
    if (board == nullptr) return Refuse(frame, ERR_INVALID_BOARD_HANDLE, "Invalid board handle");
    if (baudRate == nullptr || portConfiguration == nullptr)
        return Refuse(frame, ERR_INVALID_ARGUMENT, "Invalid value pointer");
    const auto *controller = dynamic_cast<const CameraLinkController *>(board->Controller());
    if (controller == nullptr) return Refuse(frame, ERR_NOT_IMPLEMENTED, "The board has no Camera Link ports");
    *baudRate = controller->BaudRate(port);
    *portConfiguration = static_cast<uint32_t>(controller->PortConfiguration());
    return frame.Return(ERR_NONE);
}
