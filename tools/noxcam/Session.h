#pragma once
// The road every subcommand that needs a board or a camera takes, once: open the board, scan its
// ports, connect the chosen camera's links, then its GenICam connection.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "BoardDirectory.h"
#include "CommandLine.h"
#include "ProgressLine.h"
#include "nox_genicam.h"

namespace noxcam {

class Session {
public:
    // Brings the library up; the common options' environment must be in place before.
    explicit Session(const CommonOptions &options);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // The open board (opened on first use).
    NoxBoardHandle *Board();
    const BoardIdentity &Identity();
    // Bit p for every port of the board.
    uint32_t PortMask();

    // Discovers the cameras (speed 0 detects it), or takes them from the --config file; a scan's
    // layout is remembered for the commands that follow.
    void Scan(uint32_t speedMbps = 0);
    // The road of every command but `scan`: the --config file, else the remembered layout of the
    // last scan, attached to without disturbing links that are up, else a scan.
    void FindCameras();
    // Takes the cameras from a link configuration file instead of a scan.
    void LoadConfiguration(const std::string &file);
    // Connects the links of every discovered camera.
    void ConnectAllCameras();
    // Number of slots of the last scan, placeholders included.
    uint32_t SlotCount();

    // The chosen camera (the -c slot, else the first discovered one) with its links up.
    NoxCameraHandle *LinkedCamera();
    // The same with its GenICam connection made, so features can be reached.
    NoxCameraHandle *GenICamCamera();
    uint32_t Slot();

    ProgressLine &Progress() { return progress_; }

private:
    // Warns when the camera in the slot answers with another serial number than the file gave it.
    void CompareSerial(uint32_t slot, NoxCameraHandle *camera);
    void ConnectLinks(uint32_t slot, NoxCameraHandle *camera);
    void OpenBoard();
    bool AttachRememberedLayout();
    void RememberLayout();
    bool DiscoveredCamerasComeFirst();
    void ForgetCameras();
    // A discovered camera; after a configuration load, any camera the file built.
    bool HoldsCamera(uint32_t slot);
    uint32_t ChooseSlot();

    const CommonOptions &options_;
    ProgressLine progress_;
    SessionPointer grabber_{nullptr, CloseGrabber};
    BoardIdentity identity_;
    NoxBoardHandle *board_ = nullptr;
    bool scanned_ = false;
    bool configured_ = false;  // the cameras came from a link configuration file
    bool attached_ = false;    // ... and their links are up already
    std::optional<uint32_t> slot_;
    NoxCameraHandle *camera_ = nullptr;
    bool linked_ = false;
    bool genicam_ = false;
    std::string configFile_;
    std::vector<std::string> configSerials_;  // per slot, from the --config file; "" when it gives none
};

// The serial numbers a link configuration file gives its cameras, in slot order ("" for a camera it
// gives none); a file that is missing or no link configuration ends in a ToolError that says which.
std::vector<std::string> ReadLinkFileSerials(const std::string &file);

// Why the camera runs fewer links than it is cabled with, or its operator takes more than it is cabled
// with ("" when neither): the camera operator or the cabling.
std::string CablingProblem(NoxCameraHandle *camera);

// The camera slots of the last scan (or loaded configuration): links, bit rate, packet sizes, identity.
void PrintCameras(const CommonOptions &options, Session &session);

// A type-1 camera property ("LINKSPEED", "FGPORT" with a link index...); empty when the camera
// cannot tell.
std::optional<uint32_t> CameraProperty(NoxCameraHandle *camera, const char *name,
                                       std::optional<uint32_t> index = std::nullopt);

}  // namespace noxcam
