#include "board/BoardTypeTable.h"

#include <array>

namespace vexo::genicam {

namespace {

constexpr ControllerKind kCxp = ControllerKind::kCoaXPress;
constexpr ControllerKind kClhs = ControllerKind::kCameraLinkHs;
constexpr ControllerKind kCl = ControllerKind::kCameraLink;
constexpr ControllerKind kNoTechnology = ControllerKind::kNone;
constexpr BoardFamily kNoFamily = BoardFamily::kNone;
constexpr CameraLinkGroup kNoGroup = CameraLinkGroup::kNone;

constexpr std::array<BoardTypeRow, 9> kBoardTypes = {{
    {0x0A41, "cxp4-a", kCxp, 4, BoardFamily::kA, 523, kNoGroup},
    {0x0B41, "cxp4-b", kCxp, 4, BoardFamily::kB, 258, kNoGroup},
    {0x0B21, "cxp2-b", kCxp, 2, BoardFamily::kB, 0, kNoGroup},
    {0x0C41, "cxp4-c", kCxp, 4, BoardFamily::kC, 771, kNoGroup},
    {0x0C21, "cxp2-c", kCxp, 2, BoardFamily::kC, 0, kNoGroup},
    {0x0C22, "clhs2-c", kClhs, 2, BoardFamily::kC, 0, kNoGroup},
    {0x0D21, "cl2-g1", kCl, 2, kNoFamily, 0, CameraLinkGroup::kPortConfigRegister},
    {0x0D22, "cl2-g2", kCl, 2, kNoFamily, 0, CameraLinkGroup::kNamedModeRegisters},
    {0x0E41, "gige4", kNoTechnology, 4, kNoFamily, 0, kNoGroup},
}};

}  // namespace

std::span<const BoardTypeRow> BoardTypeRows() { return kBoardTypes; }

const BoardTypeRow *FindBoardType(int32_t code) {
    for (const BoardTypeRow &row : kBoardTypes)
        if (row.code == code) return &row;
    return nullptr;
}

namespace {

// One column of the code's row; `missing` for a code not in the table.
template <class Column>
Column ColumnOf(int32_t code, Column BoardTypeRow::*column, Column missing) {
    const BoardTypeRow *row = FindBoardType(code);
    return row != nullptr ? row->*column : missing;
}

}  // namespace

ControllerKind BoardTechnology(int32_t code) {
    return ColumnOf(code, &BoardTypeRow::technology, ControllerKind::kNone);
}

uint32_t BoardPortCount(int32_t code) { return ColumnOf(code, &BoardTypeRow::portCount, 0u); }

BoardFamily BoardFamilyOf(int32_t code) { return ColumnOf(code, &BoardTypeRow::family, BoardFamily::kNone); }

CameraLinkGroup BoardCameraLinkGroup(int32_t code) {
    return ColumnOf(code, &BoardTypeRow::cameraLinkGroup, CameraLinkGroup::kNone);
}

uint32_t PartlyUsedOperatorsMinimumFirmware(int32_t code) {
    return ColumnOf(code, &BoardTypeRow::partlyUsedOperatorsFirmware, 0u);
}

bool AcceptsPartlyUsedOperators(int32_t code, uint32_t firmwareVersion) {
    const uint32_t minimum = PartlyUsedOperatorsMinimumFirmware(code);
    return BoardTechnology(code) == ControllerKind::kCoaXPress && minimum != 0 && firmwareVersion >= minimum;
}

}  // namespace vexo::genicam
