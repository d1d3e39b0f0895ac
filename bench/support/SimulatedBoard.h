#pragma once
// One board of the virtual frame grabber, opened through the exported
// interface, with its cameras scanned and their links up.
#include <cstdint>

#include "grablib5.h"
#include "nox_genicam.h"

namespace nox_bench {

// Sets every runtime-setting wait to 0, before the library reads its settings.
void UseFastWaits();

class SimulatedBoard {
public:
    // Opens the board at that index of the topology in force; Ok() tells
    // whether it opened.
    explicit SimulatedBoard(uint32_t index);
    ~SimulatedBoard();
    SimulatedBoard(const SimulatedBoard &) = delete;
    SimulatedBoard &operator=(const SimulatedBoard &) = delete;

    bool Ok() const { return board_ != nullptr; }
    NoxBoardHandle *Handle() const { return board_; }
    const GrabberSession *Session() const { return session_; }

    // Scans every port; the number of cameras found, or a negative status.
    int32_t Scan();
    // Scans and brings every camera's links up; false when either fails.
    bool ScanAndConnect();
    // The camera at that index after a scan, or null.
    NoxCameraHandle *Camera(uint32_t index) const;

private:
    GrabberSession *session_ = nullptr;
    NoxBoardHandle *board_ = nullptr;
};

// The first camera of board 0 with its links up and, when asked, its
// description loaded.
class ConnectedCamera {
public:
    explicit ConnectedCamera(bool loadDescription);
    bool Ok() const { return camera_ != nullptr; }
    NoxCameraHandle *Handle() const { return camera_; }
    const SimulatedBoard &Board() const { return board_; }

private:
    SimulatedBoard board_;
    NoxCameraHandle *camera_ = nullptr;
};

}  // namespace nox_bench
