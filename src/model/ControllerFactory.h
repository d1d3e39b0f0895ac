#pragma once
#include <cstdint>
#include <memory>

#include "board/ControllerKind.h"
#include "board/FirmwareControllerBase.h"

namespace vexo::genicam {

class ControllerOwner;

// Builds the link controller of a technology: CoaXPress (device, applet,
// owner, 0, 0), Camera Link (device, applet, owner), Camera Link HS (device,
// applet, owner, 1, option flag and word: the port master mask). Null for a
// technology without a controller in this build; the board then answers
// ERR_BOARD_NOT_SUPPORTED.
std::unique_ptr<FirmwareControllerBase> CreateController(ControllerKind kind, uint64_t device, uint64_t applet,
                                                         ControllerOwner *owner, bool optionFlag,
                                                         uint32_t optionWord);

}  // namespace vexo::genicam
