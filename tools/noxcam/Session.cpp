#include "Session.h"

#include "ToolError.h"

namespace noxcam {

Session::Session(const CommonOptions &options)
    : options_(options), progress_(!options.json && ProgressLine::ShownOnStdout()) {
    GenICamInit();
}

Session::~Session() {
    progress_.Finish();
    if (board_) Nox_freeBoard(board_);
    grabber_.reset();
    GenICamDeinit();
}

NoxBoardHandle *Session::Board() {
    if (!board_) OpenBoard();
    return board_;
}

const BoardIdentity &Session::Identity() {
    Board();
    return identity_;
}

uint32_t Session::PortMask() {
    const uint32_t ports = Identity().ports;
    return ports == 0 ? 0xF : (1u << ports) - 1;
}

void Session::OpenBoard() {
    const std::string name = "board " + std::to_string(options_.board);
    progress_.Step("opening " + name);
    // Listed before this process holds a session of its own: listing opens every board in turn.
    const std::vector<BoardIdentity> boards = ListBoards();
    grabber_ = OpenSession(options_.board);
    if (!grabber_ || options_.board >= boards.size())
        throw ToolError(name + ": the board libraries offer no such board", ERR_BOARD_INIT);
    identity_ = boards[options_.board];
    NoxBoardHandle *board = nullptr;
    Check(Nox_initBoardEx(grabber_.get(), 0, &board, 0xFFFF), "opening " + name + " (" + identity_.model + ")");
    board_ = board;
    progress_.Finish();
}

void Session::Scan(uint32_t speedMbps) {
    if (!options_.config.empty()) return LoadConfiguration(options_.config);
    NoxBoardHandle *board = Board();
    progress_.Step("discovering cameras on board " + std::to_string(options_.board));
    Check(Nox_scanPorts(board, PortMask(), speedMbps, 0), "discovering cameras on board " +
                                                                std::to_string(options_.board));
    progress_.Finish();
    ForgetCameras();
}

void Session::LoadConfiguration(const std::string &file) {
    Check(Nox_LoadBoardConfiguration(Board(), file.c_str()), "loading the link configuration " + file);
    ForgetCameras();
    configured_ = true;
}

bool Session::HoldsCamera(uint32_t slot) {
    NoxCameraHandle *camera = nullptr;
    if (configured_) return Nox_getCameraByIndex(Board(), slot, &camera) == ERR_NONE && camera;
    return Nox_isCameraAvailableAtIndex(Board(), slot) == 1;
}

void Session::ForgetCameras() {
    scanned_ = true;
    configured_ = false;
    slot_.reset();
    camera_ = nullptr;
    linked_ = genicam_ = false;
}

void Session::ConnectAllCameras() {
    for (uint32_t slot = 0; slot < SlotCount(); ++slot) {
        NoxCameraHandle *camera = nullptr;
        if (!HoldsCamera(slot) || Nox_getCameraByIndex(Board(), slot, &camera) != ERR_NONE) continue;
        const std::string name = "camera " + std::to_string(slot);
        progress_.Step("connecting the links of " + name);
        Check(Nox_LinkConnect(Board(), camera), "connecting the links of " + name);
    }
    progress_.Finish();
}

uint32_t Session::SlotCount() {
    if (!scanned_) Scan();
    const int32_t count = Nox_getCameraCount(Board());
    Check(count < 0 ? count : ERR_NONE, "counting cameras");
    return static_cast<uint32_t>(count);
}

uint32_t Session::ChooseSlot() {
    const uint32_t count = SlotCount();
    if (options_.camera) {
        const uint32_t slot = *options_.camera;
        if (slot >= count || !HoldsCamera(slot))
            throw ToolError("camera " + std::to_string(slot) + ": no camera was discovered in that slot",
                            ERR_NO_CAMERA_FOUND);
        return slot;
    }
    for (uint32_t slot = 0; slot < count; ++slot)
        if (HoldsCamera(slot)) return slot;
    throw ToolError("board " + std::to_string(options_.board) + ": no camera was discovered", ERR_NO_CAMERA_FOUND);
}

uint32_t Session::Slot() {
    if (!slot_) slot_ = ChooseSlot();
    return *slot_;
}

NoxCameraHandle *Session::LinkedCamera() {
    if (linked_) return camera_;
    const uint32_t slot = Slot();
    const std::string name = "camera " + std::to_string(slot);
    Check(Nox_getCameraByIndex(Board(), slot, &camera_), name);
    progress_.Step("connecting the links of " + name);
    Check(Nox_LinkConnect(Board(), camera_), "connecting the links of " + name);
    progress_.Finish();
    linked_ = true;
    return camera_;
}

NoxCameraHandle *Session::GenICamCamera() {
    NoxCameraHandle *camera = LinkedCamera();
    if (!genicam_) {
        const std::string name = "camera " + std::to_string(Slot());
        progress_.Step("reading the description of " + name);
        Check(Nox_connectCamera(camera), "reading the description of " + name);
        progress_.Finish();
        genicam_ = true;
    }
    return camera;
}

std::optional<uint32_t> CameraProperty(NoxCameraHandle *camera, const char *name, std::optional<uint32_t> index) {
    constexpr uint32_t kNone = 0xFFFFFFFF;  // a port or id the camera does not have
    uint32_t value = 0, type = 1, link = index.value_or(0);
    if (Nox_getCameraPropertyWithType(camera, name, &value, &type, index ? &link : nullptr) != ERR_NONE ||
        value == kNone)
        return std::nullopt;
    return value;
}

}  // namespace noxcam
