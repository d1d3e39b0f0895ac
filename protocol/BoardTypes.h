#pragma once
// The board models the system serves, keyed by the code the hardware library
// reports under "board/type".
#include <array>
#include <cstdint>

namespace vexo::protocol {

// The link technology of a board; the values are the kinds of link controller.
enum class Technology : uint32_t {
    kNone = 0,  // the board opens no controller
    kCameraLinkHs = 1,
    kCoaXPress = 2,
    kCameraLink = 3,
};

// Transceiver and power register layout of CoaXPress boards. Family C also
// holds Camera Link HS boards.
enum class BoardFamily : uint32_t {
    kNone = 0,
    kA,  // transceiver interface type 1; power state in the low byte
    kB,  // transceiver interface types 2, 3, 6; power state in the low 9 bits
    kC,  // transceiver interface type 10; 10000 and 12500 Mbit/s; power state in bits 30..35
};

// How a Camera Link board's applet tells its camera-port configuration.
enum class CameraLinkGroup : uint32_t {
    kNone = 0,
    kPortConfigRegister = 1,  // the "AACamPortConfig" register
    kNamedModeRegisters = 2,  // registers named after the mode
};

// One row of the table. The columns are independent of each other.
struct BoardType {
    int32_t code;
    const char *modelName;
    Technology technology;
    uint32_t portCount;
    BoardFamily family;
    uint32_t partlyUsedOperatorsFirmware;  // firmware from which partly used operators work; 0: never
    CameraLinkGroup cameraLinkGroup;
};

inline constexpr std::array<BoardType, 9> kBoardTypes{{
    {0x0A41, "cxp4-a", Technology::kCoaXPress, 4, BoardFamily::kA, 523, CameraLinkGroup::kNone},
    {0x0B41, "cxp4-b", Technology::kCoaXPress, 4, BoardFamily::kB, 258, CameraLinkGroup::kNone},
    {0x0B21, "cxp2-b", Technology::kCoaXPress, 2, BoardFamily::kB, 0, CameraLinkGroup::kNone},
    {0x0C41, "cxp4-c", Technology::kCoaXPress, 4, BoardFamily::kC, 771, CameraLinkGroup::kNone},
    {0x0C21, "cxp2-c", Technology::kCoaXPress, 2, BoardFamily::kC, 0, CameraLinkGroup::kNone},
    {0x0C22, "clhs2-c", Technology::kCameraLinkHs, 2, BoardFamily::kC, 0, CameraLinkGroup::kNone},
    {0x0D21, "cl2-g1", Technology::kCameraLink, 2, BoardFamily::kNone, 0, CameraLinkGroup::kPortConfigRegister},
    {0x0D22, "cl2-g2", Technology::kCameraLink, 2, BoardFamily::kNone, 0, CameraLinkGroup::kNamedModeRegisters},
    {0x0E41, "gige4", Technology::kNone, 4, BoardFamily::kNone, 0, CameraLinkGroup::kNone},
}};

// Null for a code not in the table.
constexpr const BoardType *FindBoardType(int32_t code) {
    for (const BoardType &type : kBoardTypes)
        if (type.code == code) return &type;
    return nullptr;
}

}  // namespace vexo::protocol
