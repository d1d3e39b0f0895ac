#include "BoardDirectory.h"

#include <cstring>

#include "Output.h"
#include "board/BoardTypeTable.h"

// The hardware library's board information entry point.
extern "C" int64_t QueryBoardInfo(uint64_t device, const char *key);

namespace noxcam {

namespace {

// The grabber library's session record holds the board's device handle as its 64-bit word here.
constexpr size_t kDeviceHandleOffset = 408;
// Boards are numbered from 0 without gaps; the hardware library serves no more than this.
constexpr uint32_t kMaxBoards = 64;

uint64_t DeviceHandle(GrabberSession *session) {
    uint64_t device = 0;
    std::memcpy(&device, reinterpret_cast<const unsigned char *>(session) + kDeviceHandleOffset, sizeof device);
    return device;
}

}  // namespace

SessionPointer OpenSession(uint32_t boardIndex) { return SessionPointer(OpenGrabber(boardIndex), CloseGrabber); }

BoardIdentity IdentifyBoard(uint32_t boardIndex, GrabberSession *session) {
    const uint64_t device = DeviceHandle(session);
    BoardIdentity board;
    board.index = boardIndex;
    board.typeCode = QueryBoardInfo(device, "board/type");
    board.serial = QueryBoardInfo(device, "board/serial");
    board.firmwareMajor = static_cast<uint32_t>(QueryBoardInfo(device, "firmware/major") & 0xFF);
    board.firmwareMinor = static_cast<uint32_t>(QueryBoardInfo(device, "firmware/minor") & 0xFF);
    const auto *row = vexo::genicam::FindBoardType(static_cast<int32_t>(board.typeCode));
    board.model = row ? row->modelName : Hex32(static_cast<uint64_t>(board.typeCode));
    board.ports = row ? row->portCount : 0;
    return board;
}

std::vector<BoardIdentity> ListBoards() {
    std::vector<BoardIdentity> boards;
    for (uint32_t index = 0; index < kMaxBoards; ++index) {
        SessionPointer session = OpenSession(index);
        if (!session) break;
        boards.push_back(IdentifyBoard(index, session.get()));
    }
    return boards;
}

}  // namespace noxcam
