#include "gencp/AppletPortConfig.h"

#include "board/BoardLibraries.h"
#include "board/BoardTypeTable.h"
#include "gencp/GenCPException.h"
#include "protocol/CameraLink.h"

namespace vexo::genicam {

namespace cl = protocol::cl;

namespace {

CameraPortConfiguration FromPortConfigRegister(const BoardWrapper &board) {
    const int64_t address = FindAppletRegister(board.applet, cl::kPortConfigRegister);
    uint64_t value = 0;
    if (address <= 0 || ReadBoardRegister(board.device, static_cast<uint32_t>(address), &value) != 0)
        throw gencp_error("Cannot detect Applet configuration.");
    switch (static_cast<cl::PortConfig>(value)) {
        case cl::PortConfig::kMedium: return CameraPortConfiguration::kMedium;
        case cl::PortConfig::kFull: return CameraPortConfiguration::kFull;
        default: return CameraPortConfiguration::kBase;
    }
}

CameraPortConfiguration FromNamedModeRegisters(const BoardWrapper &board) {
    const struct {
        const char *name;
        CameraPortConfiguration configuration;
    } modes[] = {
        {cl::kBaseModeRegister, CameraPortConfiguration::kBase},
        {cl::kMediumModeRegister, CameraPortConfiguration::kMedium},
        {cl::kFullModeRegister, CameraPortConfiguration::kFull},
        {cl::kOlderFullModeRegister, CameraPortConfiguration::kFull},
    };
    for (const auto &mode : modes)
        if (FindAppletRegister(board.applet, mode.name) > 0) return mode.configuration;
    return CameraPortConfiguration::kUndetermined;
}

}  // namespace

CameraPortConfiguration ReadCameraPortConfiguration(const BoardWrapper &board) {
    const int32_t type = static_cast<int32_t>(QueryBoardInfo(board.device, "board/type"));
    switch (BoardCameraLinkGroup(type)) {
        case CameraLinkGroup::kPortConfigRegister: return FromPortConfigRegister(board);
        case CameraLinkGroup::kNamedModeRegisters: return FromNamedModeRegisters(board);
        default: throw gencp_error("Cannot interpret board type.");
    }
}

}  // namespace vexo::genicam
