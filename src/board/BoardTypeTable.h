#pragma once
#include <cstdint>
#include <span>

#include "board/ControllerKind.h"

namespace vexo::genicam {

// Transceiver and power register layout of the CoaXPress code. Family C also
// holds Camera Link HS boards; only the CoaXPress code looks at the family.
enum class BoardFamily : uint32_t {
    kNone = 0,
    kA,  // transceiver interface type 1; power state in the low byte
    kB,  // transceiver interface types 2, 3, 6; power state in the low 9 bits
    kC,  // transceiver interface type 10; 10000 and 12500 Mbit/s; power state in bits 30..35
};

// How a Camera Link board's applet tells its camera-port configuration.
enum class CameraLinkGroup : uint32_t {
    kNone = 0,
    kPortConfigRegister = 1,   // the "AACamPortConfig" register
    kNamedModeRegisters = 2,   // registers named after the mode
};

// One supported board model, keyed by the code the hardware library reports
// under "board/type". The columns are independent of each other.
struct BoardTypeRow {
    int32_t code;
    const char *modelName;
    ControllerKind technology;  // kNone: the board opens no controller
    uint32_t portCount;
    BoardFamily family;
    uint32_t partlyUsedOperatorsFirmware;  // firmware from which partly used operators work; 0: never
    CameraLinkGroup cameraLinkGroup;
};

std::span<const BoardTypeRow> BoardTypeRows();
// Null for a code not in the table.
const BoardTypeRow *FindBoardType(int32_t code);

// Lookups by code; a code not in the table has no technology, 0 ports, no family, no group.
ControllerKind BoardTechnology(int32_t code);
uint32_t BoardPortCount(int32_t code);
BoardFamily BoardFamilyOf(int32_t code);
CameraLinkGroup BoardCameraLinkGroup(int32_t code);
// 0 when the board never accepts partly used camera operators.
uint32_t PartlyUsedOperatorsMinimumFirmware(int32_t code);
// Only CoaXPress boards whose firmware reaches their minimum accept them.
bool AcceptsPartlyUsedOperators(int32_t code, uint32_t firmwareVersion);

}  // namespace vexo::genicam
