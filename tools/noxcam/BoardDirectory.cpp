#include "BoardDirectory.h"

#include <cstring>

#include "Output.h"
#include "protocol/BoardTypes.h"
#include "protocol/GrabberSession.h"

// The hardware library's board information entry point.
extern "C" int64_t QueryBoardInfo(uint64_t device, const char *key);

namespace noxcam {

namespace {

// Boards are numbered from 0 without gaps; the hardware library serves no more than this.
constexpr uint32_t kMaxBoards = 64;

uint64_t DeviceHandle(GrabberSession *session) {
    uint64_t device = 0;
    const auto *record = reinterpret_cast<const unsigned char *>(session);
    std::memcpy(&device, record + vexo::protocol::grabber_session::kDeviceHandleOffset, sizeof device);
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
    const auto *row = vexo::protocol::FindBoardType(static_cast<int32_t>(board.typeCode));
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
