// The boards the board libraries offer, without board objects.
#include "api/ApiSupport.h"
#include "board/BoardLibraries.h"
#include "board/BoardListing.h"
#include "nox_genicam_ext.h"

using namespace vexo::genicam;

namespace {

NoxBoardListEntry Entry(const BoardListing &board) {
    return {board.index, board.typeCode, board.modelName, board.serial, board.portCount, board.firmwareMajor,
            board.firmwareMinor};
}

}  // namespace

extern "C" NOX_API int32_t Nox_getBoardList(NoxBoardListEntry *boards, uint32_t capacity, uint32_t *count) {
    NOX_CALL_FRAME(frame, "Nox_getBoardList", [] { return std::string(); },
                   [=] { return "Capacity: " + std::to_string(capacity); });
    if (count == nullptr) return Refuse(frame, ERR_INVALID_ARGUMENT, "Invalid count pointer");
    // Without these two libraries no board can be told from no library.
    if (int32_t status = LoadGrabberLibrary(); status != ERR_NONE)
        return Refuse(frame, status, "Grabber library not loaded");
    if (int32_t status = LoadHardwareLibrary(); status != ERR_NONE)
        return Refuse(frame, status, "Hardware library not loaded");
    const std::vector<BoardListing> listed = ListBoards();
    *count = static_cast<uint32_t>(listed.size());
    if (boards == nullptr) return frame.Return(ERR_NONE);
    for (size_t i = 0; i < listed.size() && i < capacity; ++i) boards[i] = Entry(listed[i]);
    if (listed.size() > capacity) return Refuse(frame, ERR_BUFFER_TOO_SMALL, "More boards than the list holds");
    return frame.Return(ERR_NONE);
}
