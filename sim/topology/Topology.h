#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "topology/BoardModels.h"

namespace vexo::sim {

// Where a camera's GenICam description comes from and how it is served.
struct DescriptionSource {
    std::optional<std::string> file;  // none: the built-in description
    bool zip = true;
};

enum class CameraPower { PoCxp, External };

// Camera Link HS: one way a camera can run its links.
struct ClhsConfiguration {
    uint32_t links = 1;
    uint32_t mbps = 10000;
};

// How a Camera Link applet reports its camera-port configuration; None: it does not.
enum class CameraPortConfig { Base, Medium, Full, None };

struct CameraConfig {
    std::vector<uint32_t> links;   // physical ports, master connection first
    std::vector<uint32_t> speeds;  // accepted bit rates, ascending
    uint32_t discoverySpeed = 3125;
    uint32_t defaultLinks = 0;
    uint32_t defaultSpeed = 0;
    uint32_t controlPacketSize = 1024;
    uint32_t streamPacketSizeMax = 16384;
    uint32_t scratchBytes = 0;  // writable memory at kScratchAddress, for bulk transfers
    std::string revisionText = "2.0";
    uint32_t revision = 0x00020000;
    CameraPower power = CameraPower::PoCxp;
    bool ackCrc = true;
    std::string vendor = "Vexo Vision";
    std::string model = "VX-12M";
    std::string family = "VX";
    std::string version = "1.0";
    std::string firmwareVersion = "2.3.1";
    std::string manufacturerInfo = "virtual camera";
    std::string serial = "SN0001";
    std::string userId;
    DescriptionSource description;
    // Camera Link: the serial line rates it supports (ascending), its rate
    // after power-up and its "Maximum Device Response Time"
    // (Camera Link HS cameras have it too).
    std::vector<uint32_t> bauds;
    uint32_t baud = 9600;
    uint32_t responseTimeMs = 300;
    // Camera Link HS: its configurations (the current one first), how long
    // its links stay down after a hotplug request, and for a camera of
    // "clhs_cameras" the board of each link (empty: the board it is listed on).
    std::vector<ClhsConfiguration> configurations;
    uint32_t reconnectTimeMs = 500;
    std::vector<uint32_t> linkBoards;
};

struct AppletConfig {
    std::vector<std::vector<uint32_t>> operators;  // AP masters in order (ids 1, 2, ...), applet ports by extension
    uint32_t streamPacketSize = 8192;
    std::vector<std::string> omitRegisters;
    bool legacyResetNames = false;
    bool rxStatus = false;
    // Camera Link HS: one MDIO bus instead of two, one transceiver status register for both ports.
    bool singleMdio = false;
    bool sharedGtxStatus = false;
    CameraPortConfig portConfig = CameraPortConfig::Base;  // Camera Link boards
};

// How closely a board keeps hardware time (key "timing"). The defaults are
// the hardware's; Instant() is a board that answers at once.
struct TimingConfig {
    uint32_t lockUs = 200;   // a port locks this long after its link settings change
    bool wire = true;        // commands and answers take their time on the wire
    uint32_t ackUs = 15;     // the camera's turn-around before its first answer word
    bool line = true;        // Camera Link serial line timing
    bool countersSurviveReset = false;  // a control core reset leaves the error counter alone
    uint32_t readyUs = 50;   // transceiver ready and done bits read 0 this long after programming

    static TimingConfig Instant() { return {0, false, 0, false, false, 0}; }
};

struct BoardConfig {
    const BoardModel *model = nullptr;
    uint32_t serial = 0;
    uint32_t firmwareMajor = 3;
    uint32_t firmwareMinor = 4;
    bool powerOnAtStart = true;
    TimingConfig timing;
    AppletConfig applet;
    std::vector<CameraConfig> cameras;
};

struct Topology {
    std::vector<BoardConfig> boards;
    // Camera Link HS cameras whose links may be on several boards.
    std::vector<CameraConfig> clhsCameras;
};

}  // namespace vexo::sim
