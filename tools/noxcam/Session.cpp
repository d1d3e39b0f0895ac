#include "Session.h"

#include <filesystem>
#include <system_error>

#include "Output.h"
#include "RememberedLayout.h"
#include "ToolError.h"
#include "nox_genicam_ext.h"

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
    // Bit 0 of the flag hands the mask to a Camera Link HS board: every port is a master port.
    const uint32_t initFlag = IsCameraLinkHs(identity_) ? 1 : 0;
    Check(Nox_initBoardEx(grabber_.get(), initFlag, &board, 0xFFFF), "opening " + name + " (" + identity_.model + ")");
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
    RememberLayout();
}

void Session::FindCameras() {
    if (options_.config.empty() && AttachRememberedLayout()) return;
    Scan();
}

// A layout that no longer fits (cameras moved, unplugged or gone) is forgotten; the scan that
// follows remembers the new one.
bool Session::AttachRememberedLayout() {
    const std::filesystem::path file = RememberedLayoutFile(options_.board);
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) return false;
    progress_.Step("attaching to the cameras of board " + std::to_string(options_.board));
    const int32_t status = Nox_attachBoardConfiguration(Board(), file.c_str());
    progress_.Finish();
    if (status != ERR_NONE || Nox_getCameraCount(Board()) <= 0) {
        std::filesystem::remove(file, error);
        return false;
    }
    ForgetCameras();
    configured_ = attached_ = true;
    return true;
}

// Not being able to remember only costs the next command a scan. A link configuration file holds
// the cameras up to the first slot without one, so a layout with a free operator before a camera
// is not remembered.
void Session::RememberLayout() {
    const std::filesystem::path file = RememberedLayoutFile(options_.board);
    std::error_code error;
    std::filesystem::remove(file, error);
    if (!DiscoveredCamerasComeFirst() || !PrepareLayoutFolder(file)) return;
    if (Nox_SaveBoardConfiguration(Board(), file.c_str()) != ERR_NONE) std::filesystem::remove(file, error);
}

bool Session::DiscoveredCamerasComeFirst() {
    const int32_t count = Nox_getCameraCount(Board());
    bool free = false;
    for (uint32_t slot = 0; count > 0 && slot < static_cast<uint32_t>(count); ++slot) {
        const bool discovered = Nox_isCameraAvailableAtIndex(Board(), slot) == 1;
        if (discovered && free) return false;
        free |= !discovered;
    }
    return count > 0;
}

void Session::LoadConfiguration(const std::string &file) {
    std::vector<std::string> serials = ReadLinkFileSerials(file);  // checked before the board is touched
    Check(Nox_LoadBoardConfiguration(Board(), file.c_str()), "loading the link configuration " + file);
    ForgetCameras();
    configured_ = true;
    configFile_ = file;
    configSerials_ = std::move(serials);
}

void Session::CompareSerial(uint32_t slot, NoxCameraHandle *camera) {
    if (slot >= configSerials_.size() || configSerials_[slot].empty()) return;
    const NoxCameraInfo *info = Nox_getCameraInfo(camera);
    const std::string found = info && info->serialNumber ? info->serialNumber : "";
    if (found == configSerials_[slot]) return;
    Warn(options_.json, "camera " + std::to_string(slot) + " answers with serial number '" + found + "', but " +
                            configFile_ + " was saved with '" + configSerials_[slot] +
                            "' at its links: the cabling or the cameras changed since");
}

void Session::ConnectLinks(uint32_t slot, NoxCameraHandle *camera) {
    const std::string name = "camera " + std::to_string(slot);
    progress_.Step("connecting the links of " + name);
    const int32_t status = Nox_LinkConnect(Board(), camera);
    if (status != ERR_NONE) {
        ToolError error("connecting the links of " + name, status, LastErrorReason());
        if (status == ERR_LINK_LAYOUT_MISMATCH) error.AddReason(CablingProblem(camera));
        throw error;
    }
    progress_.Finish();
    CompareSerial(slot, camera);
}

std::vector<std::string> ReadLinkFileSerials(const std::string &file) {
    std::error_code error;
    if (!std::filesystem::exists(file, error))
        throw ToolError("link configuration " + file + ": no such file", ERR_INVALID_FILENAME);
    NoxLinkFileInfo *info = nullptr;
    const int32_t status = Nox_readBoardConfigurationFile(file.c_str(), &info);
    if (status == ERR_INVALID_DATA)
        throw ToolError("link configuration " + file + ": not a link configuration file (config save writes them)",
                        status, LastErrorReason());
    Check(status, "link configuration " + file);
    std::vector<std::string> serials;
    for (uint32_t i = 0; i < info->cameraCount; ++i) serials.emplace_back(info->cameras[i].serialNumber);
    Nox_freeLinkFileInfo(info);
    return serials;
}

std::string CablingProblem(NoxCameraHandle *camera) {
    NoxCameraLinkCounts counts{};
    if (Nox_getCameraLinkCounts(camera, &counts) != ERR_NONE) return {};
    const auto links = [](uint32_t count) { return std::to_string(count) + (count == 1 ? " link" : " links"); };
    if (counts.operatorLinks > 0 && counts.operatorLinks < counts.cabledLinks)
        return "the camera is cabled with " + links(counts.cabledLinks) + " but its camera operator takes " +
               links(counts.operatorLinks) + ": load an applet whose operators take " + links(counts.cabledLinks) +
               ", or cable fewer links";
    if (counts.cabledLinks > 0 && counts.operatorLinks > counts.cabledLinks)
        return "the camera operator takes " + links(counts.operatorLinks) + " but the camera answers on " +
               links(counts.cabledLinks) + ": check the cables of its other links";
    return {};
}

bool Session::HoldsCamera(uint32_t slot) {
    NoxCameraHandle *camera = nullptr;
    if (configured_) return Nox_getCameraByIndex(Board(), slot, &camera) == ERR_NONE && camera;
    return Nox_isCameraAvailableAtIndex(Board(), slot) == 1;
}

void Session::ForgetCameras() {
    scanned_ = true;
    configured_ = attached_ = false;
    slot_.reset();
    camera_ = nullptr;
    linked_ = genicam_ = false;
}

void Session::ConnectAllCameras() {
    for (uint32_t slot = 0; slot < SlotCount(); ++slot) {
        NoxCameraHandle *camera = nullptr;
        if (!HoldsCamera(slot) || Nox_getCameraByIndex(Board(), slot, &camera) != ERR_NONE) continue;
        if (!attached_) ConnectLinks(slot, camera);
    }
}

uint32_t Session::SlotCount() {
    if (!scanned_) FindCameras();
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
    if (!attached_) ConnectLinks(slot, camera_);
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
