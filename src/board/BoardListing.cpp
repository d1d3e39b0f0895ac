#include "board/BoardListing.h"

#include <memory>

#include "board/BoardLibraries.h"
#include "protocol/BoardTypes.h"

namespace vexo::genicam {
namespace {

BoardListing Describe(uint32_t index, uint64_t device) {
    BoardListing board;
    board.index = index;
    board.typeCode = static_cast<int32_t>(QueryBoardInfo(device, "board/type"));
    board.serial = QueryBoardInfo(device, "board/serial");
    board.firmwareMajor = static_cast<uint32_t>(QueryBoardInfo(device, "firmware/major")) & 0xFF;
    board.firmwareMinor = static_cast<uint32_t>(QueryBoardInfo(device, "firmware/minor")) & 0xFF;
    if (const protocol::BoardType *type = protocol::FindBoardType(board.typeCode)) {
        board.modelName = type->modelName;
        board.portCount = type->portCount;
    }
    return board;
}

}  // namespace

std::vector<BoardListing> ListBoards() {
    std::vector<BoardListing> boards;
    for (uint32_t index = 0; index < kMaxListedBoards; ++index) {
        const std::unique_ptr<GrabberSession, int32_t (*)(GrabberSession *)> session(OpenGrabber(index), CloseGrabber);
        if (!session) break;
        boards.push_back(Describe(index, SessionDeviceHandle(session.get())));
    }
    return boards;
}

}  // namespace vexo::genicam
