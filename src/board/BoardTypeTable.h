#pragma once
#include <cstdint>

#include "board/ControllerKind.h"
#include "protocol/BoardTypes.h"

namespace vexo::genicam {

using protocol::BoardFamily;
using protocol::CameraLinkGroup;
// Lookups in the board type table by code; a code not in the table has no technology, 0 ports, no family, no group.
ControllerKind BoardTechnology(int32_t code);
uint32_t BoardPortCount(int32_t code);
BoardFamily BoardFamilyOf(int32_t code);
CameraLinkGroup BoardCameraLinkGroup(int32_t code);
// 0 when the board never accepts partly used camera operators.
uint32_t PartlyUsedOperatorsMinimumFirmware(int32_t code);
// Only CoaXPress boards whose firmware reaches their minimum accept them.
bool AcceptsPartlyUsedOperators(int32_t code, uint32_t firmwareVersion);

}  // namespace vexo::genicam
