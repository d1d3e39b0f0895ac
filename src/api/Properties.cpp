// Named properties of a board and of a camera's link setup.
#include <cstring>
#include <exception>
#include <string_view>

#include "api/ApiSupport.h"
#include "discovery/DiscoveryInfo.h"
#include "platform/ThreadId.h"

using namespace vexo::genicam;

namespace {

constexpr uint32_t kTypeU32 = 1;
constexpr uint32_t kTypeMeasurement = 2;
constexpr uint32_t kNoProperty = 0xFFFFFFFFu;
constexpr uint32_t kNone = 0xFFFFFFFFu;


// --- Board properties --------------------------------------------------------

struct BoardProperty {
    std::string_view name;
    uint32_t type;
    uint32_t id;  // the controller's property id; kNoProperty when the board answers itself
};

// Readable board properties, in the order they are compared.
constexpr BoardProperty kReadableBoardProperties[] = {
    {"CxpPowerSense", kTypeMeasurement, 9},
    {"CxpPowerVin", kTypeMeasurement, 8},
    {"CxpPowerAdIn", kTypeMeasurement, 10},
    {"CxpPowerStatus", kTypeU32, 7},
    {"CxpTransceiverNotInTable", kTypeU32, 11},
    {"CxpTransceiverDisparityError", kTypeU32, 12},
    {"CLHSFecEnable", kTypeU32, 1},
    {"CLHSReadMDIO", kTypeU32, 3},
    {"CLHSLinkState", kTypeU32, 5},
    {"CLHSLinkDetectionEnable", kTypeU32, 6},
    {"NrOfCameras", kTypeU32, kNoProperty},
    {"TransceiversLockedMask", kTypeU32, kNoProperty},
};

// Settable controller properties, compared after the two link settings.
constexpr BoardProperty kSettableBoardProperties[] = {
    {"CLHSFecEnable", kTypeU32, 1},
    {"CLHSSendRevisionMessage", kTypeU32, 2},
    {"CLHSWriteMDIO", kTypeU32, 4},
    {"CLHSLinkDetectionEnable", kTypeU32, 6},
};

uint32_t TransceiversLockedMask(FirmwareControllerBase &controller) {
    uint32_t mask = 0;
    for (uint32_t port = 0; port < 4; ++port)
        if (controller.IsLinkSynchronized(port)) mask |= 1u << port;
    return mask;
}

int32_t SetBoardProperty(NOXBoardInterface &board, std::string_view name, const uint32_t *value, uint32_t type,
                         const uint32_t *index) {
    FirmwareControllerBase &controller = *board.Controller();
    if (name == "SET_LINK_CONFIG_FREQ" || name == "SET_STREAM_PAKET_SIZE") {
        if (index == nullptr) return ERR_INVALID_ARGUMENT;
        if (name == "SET_LINK_CONFIG_FREQ") return controller.SetLinkConfig(*index, *value, type, 0, nullptr);
        return controller.WriteStreamPacketSizeMax(*index, *value);
    }
    for (const BoardProperty &property : kSettableBoardProperties) {
        if (property.name != name) continue;
        if (type != property.type) return ERR_INVALID_DATA_TYPE;
        return controller.SetBoardProperty(property.id, index != nullptr ? *index : 0, *value);
    }
    return ERR_UNKNOWN_PROPERTY;
}

// --- Camera properties -------------------------------------------------------

enum class CameraProperty {
    kStreamPacketSize, kLinkSpeed, kDiscoverySpeed, kControlPacketSize, kConnected, kMasterPort, kMasterId,
    kLinkOrderIndex, kAppletMasterId, kLinkCount, kGenICamConnected, kMasterLink, kExtensionLink, kFgPort,
    kAppletPort, kAppletLinkOrderIndex, kTransceiverLocked, kUnknown
};

// In the order names are compared when reading.
constexpr std::pair<std::string_view, CameraProperty> kCameraProperties[] = {
    {"STREAMPACKETSIZE", CameraProperty::kStreamPacketSize},
    {"LINKSPEED", CameraProperty::kLinkSpeed},
    {"DISCOVERYSPEED", CameraProperty::kDiscoverySpeed},
    {"CONTROLPACKETSIZE", CameraProperty::kControlPacketSize},
    {"CONNECTED", CameraProperty::kConnected},
    {"MASTERPORT", CameraProperty::kMasterPort},
    {"MASTERID", CameraProperty::kMasterId},
    {"LINKORDERINDEX", CameraProperty::kLinkOrderIndex},
    {"APPLETMASTERID", CameraProperty::kAppletMasterId},
    {"NROFLINKS", CameraProperty::kLinkCount},
    {"ISGENICAMCONNECTED", CameraProperty::kGenICamConnected},
    {"MASTERLINK", CameraProperty::kMasterLink},
    {"EXTENSIONLINK", CameraProperty::kExtensionLink},
    {"FGPORT", CameraProperty::kFgPort},
    {"APPLETPORT", CameraProperty::kAppletPort},
    {"APPLETLINKORDERINDEX", CameraProperty::kAppletLinkOrderIndex},
    {"ISTRANSCEIVERLOCKED", CameraProperty::kTransceiverLocked},
};

CameraProperty FindCameraProperty(std::string_view name) {
    for (const auto &[propertyName, property] : kCameraProperties)
        if (propertyName == name) return property;
    return CameraProperty::kUnknown;
}

bool NeedsLinkIndex(CameraProperty property) {
    switch (property) {
        case CameraProperty::kLinkOrderIndex:
        case CameraProperty::kAppletMasterId:
        case CameraProperty::kMasterLink:
        case CameraProperty::kExtensionLink:
        case CameraProperty::kFgPort:
        case CameraProperty::kAppletPort:
        case CameraProperty::kAppletLinkOrderIndex: return true;
        default: return false;
    }
}

// The value of a camera property; a link query that fails answers its status.
int32_t ReadCameraProperty(NOXCameraInterface &camera, CameraProperty property, uint32_t link, uint32_t &value) {
    switch (property) {
        case CameraProperty::kStreamPacketSize: value = camera.StreamPacketSize(); return ERR_NONE;
        case CameraProperty::kLinkSpeed: value = camera.BitRate(); return ERR_NONE;
        case CameraProperty::kDiscoverySpeed: value = camera.DiscoveryBitRate(); return ERR_NONE;
        case CameraProperty::kControlPacketSize: value = camera.ControlPacketSize(); return ERR_NONE;
        case CameraProperty::kConnected: value = camera.IsDiscovered() && !camera.IsDummy(); return ERR_NONE;
        case CameraProperty::kMasterPort: value = camera.CommandPort(); return ERR_NONE;
        case CameraProperty::kMasterId: value = camera.MasterId(); return ERR_NONE;
        case CameraProperty::kLinkCount: value = camera.LinkCount(); return ERR_NONE;
        case CameraProperty::kGenICamConnected: value = camera.IsConnected(); return ERR_NONE;
        case CameraProperty::kTransceiverLocked: value = camera.IsLinkUp(true); return ERR_NONE;
        case CameraProperty::kLinkOrderIndex: value = link; return ERR_NONE;
        case CameraProperty::kAppletMasterId: return camera.GetLinkApMasterId(link, value);
        case CameraProperty::kFgPort: return camera.GetLinkCameraPort(link, value);
        case CameraProperty::kAppletPort: return camera.GetLinkApPort(link, value);
        case CameraProperty::kAppletLinkOrderIndex: return camera.GetLinkApExtensionId(link, value);
        case CameraProperty::kMasterLink:
        case CameraProperty::kExtensionLink:
            if (link >= NOXCameraInterface::kMaxLinks) return ERR_INVALID_ARGUMENT;
            value = property == CameraProperty::kMasterLink ? camera.IsMasterLink(link) : link;
            return ERR_NONE;
        case CameraProperty::kUnknown: break;
    }
    return ERR_UNKNOWN_PROPERTY;
}

// The physical port of a link; recording it in the model also makes the link known there.
int32_t SetLinkPhysicalPort(NOXCameraInterface &camera, DiscoveryInfo &info, uint32_t link, uint32_t port) {
    const int32_t status = camera.SetLinkCameraPort(link, port);
    if (status != ERR_NONE) return status;
    // The caller sees link 0 recorded as the camera's master link and every other link as its extension.
    if (camera.IsMasterLink(link)) {
        // A master link without a known camera id takes one derived from its port.
        if (camera.MasterId() == 0) camera.SetMasterId(port + 1);
        info.SetCameraPort(port, camera.MasterId(), 0);
        camera.SetDiscovered(false);
        return ERR_NONE;
    }
    if (camera.MasterId() == 0) return ERR_NO_MASTER;
    info.SetCameraPort(port, camera.MasterId(), link);
    return ERR_NONE;
}

int32_t SetLinkAppletPort(NOXCameraInterface &camera, FirmwareControllerBase &controller, DiscoveryInfo &info,
                          uint32_t link, uint32_t apPort) {
    const int32_t status = camera.SetLinkApPort(link, apPort);
    if (status != ERR_NONE) return status;
    uint32_t apMaster = kNone, apExtension = kNone;
    const int32_t readStatus = camera.GetLinkApMasterId(link, apMaster);
    if (apMaster == kNone) {
        apMaster = controller.GetAppletMasterId(apPort);
        if (apMaster == kNone) apMaster = apPort + 1;
        camera.SetLinkApMasterId(link, apMaster);
    }
    camera.GetLinkApExtensionId(link, apExtension);
    if (apExtension == kNone) {
        apExtension = controller.GetAppletExtensionId(apPort);
        if (apExtension == kNone) apExtension = apPort;
        camera.SetLinkApExtensionId(link, apExtension);
    }
    info.SetApPort(apPort, apMaster, apExtension);
    return readStatus;
}

int32_t SetCameraProperty(NOXCameraInterface &camera, DiscoveryInfo &info, std::string_view name, uint32_t value,
                          const uint32_t *index) {
    FirmwareControllerBase &controller = *camera.Board()->Controller();
    if (name == "STREAMPACKETSIZE") return camera.SetStreamPacketSize(value);
    if (name == "LINKSPEED") return camera.SetBitRate(value);
    if (name == "NROFLINKS") return camera.SetLinkCount(value);
    if (name == "MASTERLINK") return value == 0 ? ERR_NONE : ERR_INVALID_LINK_INDEX;
    if (name == "EXTENSIONLINK") return value != 0 ? ERR_NONE : ERR_INVALID_LINK_INDEX;
    if (name == "FGPORT") return index ? SetLinkPhysicalPort(camera, info, *index, value) : ERR_INVALID_ARGUMENT;
    if (name == "APPLETPORT")
        return index ? SetLinkAppletPort(camera, controller, info, *index, value) : ERR_INVALID_ARGUMENT;
    if (name == "MASTERID") {
        camera.SetMasterId(value);
        return ERR_NONE;
    }
    if (name == "LINKORDERINDEX") {
        if (index == nullptr) return ERR_UNKNOWN_PROPERTY;
        return value == *index ? ERR_NONE : ERR_INVALID_ARGUMENT;
    }
    if (name == "APPLETMASTERID") {
        camera.SetLinkApMasterId(index != nullptr ? *index : kNone, value);
        return ERR_NONE;
    }
    if (name == "APPLETLINKORDERINDEX")
        return index ? camera.SetLinkApExtensionId(*index, value) : ERR_INVALID_ARGUMENT;
    return ERR_UNKNOWN_PROPERTY;
}

}  // namespace

extern "C" NOX_API int32_t Nox_getBoardPropertyWithType(NoxBoardHandle *handle, const char *name, void *value,
                                                        uint32_t type, uint32_t index) {
    CallFrameResult frame([=] { return BoardItem(handle) + IndexItem(index); });
    BoardPin board = Board(handle);
    if (board == nullptr) {
        frame.LogError("Invalid boardHandle");
        return ERR_INVALID_BOARD_HANDLE;
    }
    if (IsEmpty(name)) {
        frame.LogError("Invalid propertyName");
        return ERR_INVALID_ARGUMENT;
    }
    if (value == nullptr) {
        frame.LogError("Invalid value");
        return ERR_INVALID_ARGUMENT;
    }
    for (const BoardProperty &property : kReadableBoardProperties) {
        if (property.name != name) continue;
        if (type != property.type) return ERR_INVALID_DATA_TYPE;
        if (property.id != kNoProperty) return board->Controller()->GetBoardProperty(property.id, value, type, index);
        const uint32_t answer = property.name == "NrOfCameras" ? board->CountDiscoveredCameras()
                                                               : TransceiversLockedMask(*board->Controller());
        std::memcpy(value, &answer, sizeof answer);
        return ERR_NONE;
    }
    return ERR_UNKNOWN_PROPERTY;
}

extern "C" NOX_API int32_t Nox_setBoardPropertyWithType(NoxBoardHandle *handle, const char *name, void *value,
                                                        uint32_t type, uint32_t *index) {
    CallFrameResult frame([=] { return BoardItem(handle); });
    if (IsEmpty(name)) {
        frame.LogError("Invalid propertyName");
        return ERR_INVALID_ARGUMENT;
    }
    if (value == nullptr) {
        frame.LogError("Invalid propertyValuePtr");
        return ERR_INVALID_ARGUMENT;
    }
    BoardPin board = Board(handle);
    if (board == nullptr) return ERR_INVALID_BOARD_HANDLE;
    try {
        const int32_t status = SetBoardProperty(*board, name, static_cast<const uint32_t *>(value), type, index);
        if (status != ERR_NONE)
            WriteRecord(LibraryLogger(), vexo::tools::logging::kLevelError, {},
                        "Error when calling Nox_setBoardPropertyWithType: " + std::to_string(status));
        return status;
    } catch (const std::exception &error) {
        frame.LogError(std::string("Exception when calling Nox_setBoardPropertyWithType:") + error.what());
        return ERR_EXCEPTION;
    }
}

extern "C" NOX_API int32_t Nox_getCameraPropertyWithType(NoxCameraHandle *handle, const char *name, void *value,
                                                         uint32_t *type, uint32_t *index) {
    CallFrameResult frame([=] { return CameraItem(handle); });
    if (IsEmpty(name)) {
        frame.LogError("Invalid propertyname");
        return ERR_INVALID_ARGUMENT;
    }
    if (value == nullptr) {
        frame.LogError("Invalid value");
        return ERR_INVALID_ARGUMENT;
    }
    if (type == nullptr) {
        frame.LogError("Invalid propertyType");
        return ERR_INVALID_ARGUMENT;
    }
    CameraPin camera = Camera(handle);
    if (camera == nullptr) {
        *type = 0xFFFFFFFFu;
        return ERR_INVALID_BOARD_HANDLE;
    }
    const CameraProperty property = FindCameraProperty(name);
    if (property == CameraProperty::kUnknown) {
        *type = 0xFFFFFFFFu;
        return ERR_UNKNOWN_PROPERTY;
    }
    const uint32_t callerType = *type;
    *type = kTypeU32;  // told even when refused, so a caller can learn the type by asking
    if (callerType != kTypeU32) return ERR_INVALID_DATA_TYPE;
    if (NeedsLinkIndex(property) && index == nullptr) return ERR_INVALID_ARGUMENT;
    uint32_t answer = 0;
    const int32_t status = ReadCameraProperty(*camera, property, index != nullptr ? *index : 0, answer);
    if (status == ERR_NONE) std::memcpy(value, &answer, sizeof answer);
    return status;
}

extern "C" NOX_API int32_t Nox_setCameraPropertyWithType(NoxCameraHandle *handle, const char *name, void *value,
                                                         uint32_t, uint32_t *index) {
    CallFrameResult frame([=] { return CameraItem(handle); });
    if (IsEmpty(name)) {
        frame.LogError("Invalid propertyName");
        return ERR_INVALID_ARGUMENT;
    }
    if (value == nullptr) {
        frame.LogError("Invalid Value");
        return ERR_INVALID_ARGUMENT;
    }
    CameraPin camera = Camera(handle);
    if (camera == nullptr) return ERR_INVALID_ARGUMENT;
    NOXBoardInterface *board = camera->Board();
    if (board == nullptr || board->Controller() == nullptr) return ERR_INVALID_BOARD_HANDLE;
    try {
        vexo::templates::platform::RecursiveMutex::Guard model(board->Controller()->LinkMutex());
        DiscoveryInfo *info = board->GetDiscoveryInfo(false);
        if (info == nullptr) return ERR_INTERNAL;
        uint32_t number = 0;
        std::memcpy(&number, value, sizeof number);
        return SetCameraProperty(*camera, *info, name, number, index);
    } catch (const std::exception &error) {
        frame.LogError(error.what());
        return ERR_INTERNAL;
    } catch (...) {
        frame.LogError("Unknown exception caught");
        return ERR_INTERNAL;
    }
}
