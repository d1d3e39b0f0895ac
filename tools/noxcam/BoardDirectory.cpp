#include "BoardDirectory.h"

#include <algorithm>

#include "Output.h"
#include "ToolError.h"
#include "nox_genicam_ext.h"
#include "protocol/BoardTypes.h"

namespace noxcam {

namespace {

BoardIdentity Identity(const NoxBoardListEntry &entry) {
    BoardIdentity board;
    board.index = entry.index;
    board.typeCode = entry.typeCode;
    board.model = *entry.modelName != '\0' ? entry.modelName : Hex32(static_cast<uint32_t>(entry.typeCode));
    board.serial = entry.serial;
    board.ports = entry.portCount;
    board.firmwareMajor = entry.firmwareMajor;
    board.firmwareMinor = entry.firmwareMinor;
    return board;
}

}  // namespace

SessionPointer OpenSession(uint32_t boardIndex) { return SessionPointer(OpenGrabber(boardIndex), CloseGrabber); }

std::vector<BoardIdentity> ListBoards() {
    uint32_t count = 0;
    Check(Nox_getBoardList(nullptr, 0, &count), "listing the boards");
    std::vector<NoxBoardListEntry> entries(count);
    // A board that turns up between the two calls is left for the next listing.
    const int32_t status = Nox_getBoardList(entries.data(), count, &count);
    if (status != ERR_BUFFER_TOO_SMALL) Check(status, "listing the boards");
    entries.resize(std::min<size_t>(entries.size(), count));
    std::vector<BoardIdentity> boards;
    for (const NoxBoardListEntry &entry : entries) boards.push_back(Identity(entry));
    return boards;
}

bool IsCameraLinkHs(const BoardIdentity &board) {
    const vexo::protocol::BoardType *type = vexo::protocol::FindBoardType(static_cast<int32_t>(board.typeCode));
    return type != nullptr && type->technology == vexo::protocol::Technology::kCameraLinkHs;
}

}  // namespace noxcam
