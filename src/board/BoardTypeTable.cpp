#include "board/BoardTypeTable.h"

namespace vexo::genicam {

namespace {

// One column of the code's row; `missing` for a code not in the table.
template <class Column>
Column ColumnOf(int32_t code, Column protocol::BoardType::*column, Column missing) {
    const protocol::BoardType *row = protocol::FindBoardType(code);
    return row != nullptr ? row->*column : missing;
}

}  // namespace

ControllerKind BoardTechnology(int32_t code) {
    return ColumnOf(code, &protocol::BoardType::technology, ControllerKind::kNone);
}

uint32_t BoardPortCount(int32_t code) { return ColumnOf(code, &protocol::BoardType::portCount, 0u); }

BoardFamily BoardFamilyOf(int32_t code) { return ColumnOf(code, &protocol::BoardType::family, BoardFamily::kNone); }

CameraLinkGroup BoardCameraLinkGroup(int32_t code) {
    return ColumnOf(code, &protocol::BoardType::cameraLinkGroup, CameraLinkGroup::kNone);
}

uint32_t PartlyUsedOperatorsMinimumFirmware(int32_t code) {
    return ColumnOf(code, &protocol::BoardType::partlyUsedOperatorsFirmware, 0u);
}

bool AcceptsPartlyUsedOperators(int32_t code, uint32_t firmwareVersion) {
    const uint32_t minimum = PartlyUsedOperatorsMinimumFirmware(code);
    return BoardTechnology(code) == ControllerKind::kCoaXPress && minimum != 0 && firmwareVersion >= minimum;
}

}  // namespace vexo::genicam
