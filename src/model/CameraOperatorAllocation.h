#pragma once
#include <cstdint>

#include "logging/Logger.h"

namespace vexo::genicam {

class DiscoveryInfo;
class FirmwareControllerBase;

// Chooses the free camera operator (AP master) of the applet that best fits
// the camera `cameraMasterId` and connects the camera's links to its ports in
// `info`. Changes only the model; the controller programs the board from it.
//
// Tiers, tried in order:
//   1. operators with as many ports as the camera has links, best overlap
//      of ports first, then the one holding the master link's port;
//   2. on Camera Link HS boards only: one single-port operator per link;
//   3. smaller operators: the largest, then best overlap with the camera's
//      first links, then the master link's port; only that many links connect;
//   4. only when tier 3 had none: larger operators, the last one holding the
//      port of the camera's first link; the operator's further ports stay free.
// When the applet side of the model is not known yet, it is first read from
// the controller (GetAppletMasterId / GetAppletExtensionId); applet ports
// whose operator id reads 0 belong to no operator.
//
// Returns 0; ERR_NO_CAMERA_FOUND when the camera has no links in the model
// ("No ports to be configured!"); ERR_INTERNAL when no free operator fits
// ("Allocating camera operator failed: No matching operator found for
// connected camera") or the model refuses a connection ("Exception while
// configuring ports!"; links connected before stay connected). Records go to
// `logger` (may be null).
int32_t AllocateCameraOperator(DiscoveryInfo &info, uint32_t cameraMasterId, FirmwareControllerBase &controller,
                               bool isClhs, tools::logging::Logger *logger);

}  // namespace vexo::genicam
