#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "genicam/DescriptionReader.h"

namespace vexo::genicam {

class NOXCameraInterface;

// Turns a camera description into the camera's GenICam connection.
class DescriptionLoader {
public:
    // Replaces every "<ToolTip></ToolTip>" by as many blanks, in place: some
    // interpreters refuse empty tool tips. The length does not change.
    static void BlankEmptyToolTips(std::vector<uint8_t> &text);

    // Builds a node map for "Device" from the description (plain or zipped),
    // connects a new CTransportLayer of the camera's board and port index to
    // it under "Device" and hands both to the camera, replacing what it had.
    // Does not set the camera's connected flag. Throws GenICam exceptions for
    // a description that is refused, and std::runtime_error "Failed to connect
    // node map to transport layer" when it has no port "Device"; the camera
    // then holds no node map.
    static void Load(NOXCameraInterface &camera, const uint8_t *data, size_t size, DescriptionLog &log);
};

}  // namespace vexo::genicam
