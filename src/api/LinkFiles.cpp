// Link configuration files, connection profiles and low-level link profiles:
// a board's camera layout saved, and set up again from a file without a scan.
#include <algorithm>
#include <exception>
#include <fstream>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "api/ApiSupport.h"
#include "api/HandedOutRecords.h"
#include "nox_genicam_ext.h"
#include "plex/CxpLinkConfiguration.h"

using namespace vexo::genicam;
using vexo::core::plex::CxpLinkConfiguration;

namespace {

constexpr uint32_t kUnsignedType = 1;
constexpr uint32_t kPhysicalLinks = 4;


enum CameraState : uint32_t { kNoCamera = 0, kLinkConnectFailed = 1, kLinksUp = 2, kConnected = 3 };

int32_t ReadProperty(NoxCameraHandle *camera, const char *name, uint32_t &value, uint32_t *link = nullptr) {
    uint32_t type = kUnsignedType;
    return Nox_getCameraPropertyWithType(camera, name, &value, &type, link);
}

int32_t WriteProperty(NoxCameraHandle *camera, const char *name, uint32_t value, uint32_t *link = nullptr) {
    return Nox_setCameraPropertyWithType(camera, name, &value, kUnsignedType, link);
}

// The layout of one connected camera into group g; 0 or the first failing property read.
int32_t SaveCameraLayout(NoxCameraHandle *camera, CxpLinkConfiguration &configuration, uint32_t g) {
    uint32_t packetSize = 0, speed = 0, links = 0, masterId = 0;
    for (auto [name, value] : {std::pair<const char *, uint32_t *>{"STREAMPACKETSIZE", &packetSize},
                               {"LINKSPEED", &speed},
                               {"NROFLINKS", &links},
                               {"MASTERID", &masterId}})
        if (int32_t status = ReadProperty(camera, name, *value); status != ERR_NONE) return status;
    configuration.SetGroupStreamPacketSize(g, packetSize);
    configuration.SetGroupSpeed(g, speed);
    configuration.SetGroupLinkCount(g, links);
    configuration.SetGroupMasterId(g, masterId);
    for (uint32_t link = 0; link < links && link < CxpLinkConfiguration::kMaxLinks; ++link) {
        uint32_t physical = 0, applet = 0, isMaster = 0;
        if (int32_t status = ReadProperty(camera, "FGPORT", physical, &link); status != ERR_NONE) return status;
        if (int32_t status = ReadProperty(camera, "APPLETPORT", applet, &link); status != ERR_NONE) return status;
        if (int32_t status = ReadProperty(camera, "MASTERLINK", isMaster, &link); status != ERR_NONE) return status;
        configuration.SetLinkPhyIndex(g, link, physical);
        configuration.SetLinkApIndex(g, link, applet);
        if (isMaster != 0) configuration.SetGroupMasterPort(g, physical);
    }
    return ERR_NONE;
}

// The file's link indices of group g in the order the camera numbers its
// links: the link on the master port first (the camera's link 0), then the
// others in the file's order. Indices without ports are left out.
std::vector<uint32_t> CameraLinkOrder(const CxpLinkConfiguration &configuration, uint32_t g) {
    std::vector<uint32_t> order;
    for (uint32_t l = 0; l < CxpLinkConfiguration::kMaxLinks && order.size() < configuration.GetGroupLinkCount(g); ++l)
        if (configuration.GetLinkPhyIndex(g, l) != CxpLinkConfiguration::kNoIndex) order.push_back(l);
    std::stable_partition(order.begin(), order.end(), [&](uint32_t l) {
        return configuration.GetLinkPhyIndex(g, l) == configuration.GetGroupMasterPort(g);
    });
    return order;
}

// Group g of the file as a camera of the board; 0 or the first failing call.
int32_t LoadCameraLayout(NoxBoardHandle *board, const CxpLinkConfiguration &configuration, uint32_t g) {
    const uint32_t masterPort = configuration.GetGroupMasterPort(g);
    NoxCameraHandle *camera = nullptr;
    if (int32_t status = Nox_getCamera(board, masterPort, &camera); status != ERR_NONE) return status;
    const uint32_t links = configuration.GetGroupLinkCount(g);
    for (auto [name, value] : {std::pair<const char *, uint32_t>{"NROFLINKS", links},
                               {"MASTERID", configuration.GetGroupMasterId(g)},
                               {"STREAMPACKETSIZE", configuration.GetGroupStreamPacketSize(g)},
                               {"LINKSPEED", configuration.GetGroupSpeed(g)}})
        if (int32_t status = WriteProperty(camera, name, value); status != ERR_NONE) return status;
    // The master may stand at any link index of the file: it becomes the camera's link 0 and the
    // others its extension links 1, 2, 3, so the role properties accept them.
    const std::vector<uint32_t> order = CameraLinkOrder(configuration, g);
    for (uint32_t link = 0; link < order.size(); ++link) {
        const uint32_t physical = configuration.GetLinkPhyIndex(g, order[link]);
        const char *role = physical == masterPort ? "MASTERLINK" : "EXTENSIONLINK";
        if (int32_t status = WriteProperty(camera, role, link, &link); status != ERR_NONE) return status;
        if (int32_t status = WriteProperty(camera, "FGPORT", physical, &link); status != ERR_NONE) return status;
        const uint32_t applet = configuration.GetLinkApIndex(g, order[link]);
        if (int32_t status = WriteProperty(camera, "APPLETPORT", applet, &link); status != ERR_NONE) return status;
    }
    return ERR_NONE;
}

bool CanRead(const char *fileName) { return std::ifstream(fileName, std::ios::in | std::ios::binary).is_open(); }

// The connection profile's record and arrays, released together.
void FreeProfile(NoxConnectionProfile *profile) {
    delete[] profile->cameras;
    delete[] profile->cameraInfos;
    delete[] profile->states;
    delete profile;
}

// Brings camera i of the profile's board up as far as it goes and records how far that was.
void ConnectProfileCamera(NoxConnectionProfile &profile, uint32_t i) {
    NoxCameraHandle *camera = nullptr;
    if (Nox_getCameraByIndex(profile.board, i, &camera) != ERR_NONE || camera == nullptr) return;
    profile.cameras[i] = camera;
    const int32_t linkStatus = Nox_LinkConnect(profile.board, camera);
    if (linkStatus != ERR_NONE && linkStatus != ERR_LINK_LAYOUT_MISMATCH) {
        profile.states[i] = kLinkConnectFailed;
        return;
    }
    profile.cameraInfos[i] = Nox_getCameraInfo(camera);
    profile.states[i] = Nox_connectCamera(camera) == ERR_NONE ? kConnected : kLinksUp;
}

// The saved layout of the board's connected cameras, up to the first slot without one; with their
// serial numbers when asked.
int32_t SaveConfiguration(CallFrameResult &frame, NoxBoardHandle *handle, const char *fileName, bool withSerials) {
    if (Board(handle) == nullptr) {
        frame.LogError("Invalid board  handle");
        return ERR_INVALID_BOARD_HANDLE;
    }
    if (IsEmpty(fileName)) {
        frame.LogError("Invalid config file name");
        return ERR_INVALID_FILENAME;
    }
    try {
        CxpLinkConfiguration configuration("cxp");
        configuration.SetFileName(fileName);
        configuration.SetLinkCount(kPhysicalLinks);
        const int32_t count = Nox_getCameraCount(handle);
        if (count < 0) return count;
        configuration.SetLinkGroupCount(static_cast<uint32_t>(count));
        uint32_t taken = 0;
        for (uint32_t c = 0; c < configuration.GetLinkGroupCount(); ++c) {
            NoxCameraHandle *camera = nullptr;
            if (int32_t status = Nox_getCameraByIndex(handle, c, &camera); status != ERR_NONE) return status;
            uint32_t connected = 0;
            if (camera == nullptr) break;
            if (int32_t status = ReadProperty(camera, "CONNECTED", connected); status != ERR_NONE) return status;
            if (connected == 0) break;
            if (int32_t status = SaveCameraLayout(camera, configuration, c); status != ERR_NONE) return status;
            const NoxCameraInfo *cameraInfo = withSerials ? Nox_getCameraInfo(camera) : nullptr;
            if (cameraInfo != nullptr && cameraInfo->serialNumber != nullptr)
                configuration.SetGroupSerialNumber(c, cameraInfo->serialNumber);
            ++taken;
        }
        configuration.SetLinkGroupCount(taken);
        return configuration.Save() ? ERR_NONE : ERR_FILE_ACCESS;
    } catch (const std::exception &error) {
        frame.LogError(error.what());
        return ERR_FILE_ACCESS;
    }
}

// What a link configuration file holds, for the application to compare with what it finds.
struct LinkFileRecord {
    NoxLinkFileInfo handed{};
    std::vector<std::string> serials;
    std::vector<NoxLinkFileCamera> cameras;
};

std::unique_ptr<LinkFileRecord> MakeLinkFileRecord(const CxpLinkConfiguration &configuration) {
    auto record = std::make_unique<LinkFileRecord>();
    const uint32_t count = configuration.GetLinkGroupCount();
    for (uint32_t g = 0; g < count; ++g) record->serials.push_back(configuration.GetGroupSerialNumber(g));
    for (uint32_t g = 0; g < count; ++g)
        record->cameras.push_back({configuration.GetGroupMasterPort(g), configuration.GetGroupLinkCount(g),
                                   configuration.GetGroupSpeed(g), record->serials[g].c_str()});
    record->handed.cameraCount = count;
    record->handed.cameras = record->cameras.data();
    return record;
}

// Runs a board operation that takes a path, after the checks both profile functions share.
template <class Operation>
int32_t WithBoardAndPath(NoxBoardHandle *handle, const char *path, Operation operation) {
    CallFrameResult frame([=] { return BoardItem(handle); });
    BoardPin board = Board(handle);
    if (board == nullptr || IsEmpty(path)) {
        frame.LogError("Invalid parameter");
        return frame.Return(ERR_INVALID_ARGUMENT);
    }
    try {
        return frame.Return(operation(*board, std::string(path)));
    } catch (const std::exception &error) {
        frame.LogError(error.what());
        return frame.Return(ERR_INTERNAL);
    }
}

}  // namespace

extern "C" NOX_API int32_t Nox_SaveBoardConfiguration(NoxBoardHandle *handle, const char *fileName) {
    CallFrameResult frame([=] { return BoardItem(handle); });
    return frame.Return(SaveConfiguration(frame, handle, fileName, false));
}

extern "C" NOX_API int32_t Nox_saveBoardConfigurationWithSerials(NoxBoardHandle *handle, const char *fileName) {
    CallFrameResult frame([=] { return BoardItem(handle); });
    return frame.Return(SaveConfiguration(frame, handle, fileName, true));
}

extern "C" NOX_API int32_t Nox_readBoardConfigurationFile(const char *fileName, NoxLinkFileInfo **info) {
    CallFrameResult frame([] { return std::string(); });
    if (info == nullptr) return Refuse(frame, ERR_INVALID_ARGUMENT, "Invalid info pointer");
    if (IsEmpty(fileName) || !CanRead(fileName))
        return Refuse(frame, ERR_INVALID_FILENAME,
                      std::string("Cannot open link configuration file: ") + (fileName != nullptr ? fileName : ""));
    CxpLinkConfiguration configuration("cxp");
    try {
        configuration.ReadFile(fileName);
    } catch (const std::exception &error) {
        return Refuse(frame, ERR_INVALID_DATA, error.what());
    }
    if (configuration.GetLinkGroupCount() == 0)
        return Refuse(frame, ERR_INVALID_DATA, std::string("No camera in link configuration file '") + fileName + "'");
    *info = HandedOut<LinkFileRecord>().Keep(MakeLinkFileRecord(configuration));
    return frame.Return(ERR_NONE);
}

extern "C" NOX_API int32_t Nox_freeLinkFileInfo(NoxLinkFileInfo *info) {
    CallFrameResult frame([] { return std::string(); });
    if (!HandedOut<LinkFileRecord>().Free(info))
        return Refuse(frame, ERR_INVALID_ARGUMENT, "Invalid link file information");
    return frame.Return(ERR_NONE);
}

extern "C" NOX_API int32_t Nox_LoadBoardConfiguration(NoxBoardHandle *handle, const char *fileName) {
    CallFrameResult frame([=] { return BoardItem(handle); });
    BoardPin board = Board(handle);
    if (board == nullptr) {
        frame.LogError("Invalid Board Handle");
        return frame.Return(ERR_INVALID_BOARD_HANDLE);
    }
    for (uint32_t slot = 0; slot < NOXBoardInterface::kCameraSlots; ++slot) board->RemoveCamera(slot);
    if (IsEmpty(fileName)) {
        frame.LogError("Invalid config file name");
        return frame.Return(ERR_INVALID_FILENAME);
    }
    if (!CanRead(fileName)) return frame.Return(ERR_INVALID_FILENAME);
    try {
        CxpLinkConfiguration configuration("cxp");
        configuration.SetFileName(fileName);
        configuration.Load();
        for (uint32_t g = 0; g < configuration.GetLinkGroupCount(); ++g)
            if (int32_t status = LoadCameraLayout(handle, configuration, g); status != ERR_NONE)
                return frame.Return(status);
        return frame.Return(ERR_NONE);
    } catch (const std::exception &error) {
        frame.LogError(error.what());
        return frame.Return(ERR_INTERNAL);
    }
}

extern "C" NOX_API int32_t Nox_attachBoardConfiguration(NoxBoardHandle *handle, const char *fileName) {
    NOX_CALL_FRAME(frame, "Nox_attachBoardConfiguration", [=] { return BoardItem(handle); },
                   [=] { return std::string("File: ") + (fileName != nullptr ? fileName : ""); });
    BoardPin board = Board(handle);
    if (board == nullptr) return Refuse(frame, ERR_INVALID_BOARD_HANDLE, "Invalid board handle");
    if (IsEmpty(fileName) || !CanRead(fileName))
        return Refuse(frame, ERR_INVALID_FILENAME, "Invalid or unreadable link configuration file");
    if (int32_t status = Nox_LoadBoardConfiguration(handle, fileName); status != ERR_NONE)
        return Refuse(frame, status, "The link configuration file could not be loaded");
    // Every camera is tried; the first failure is the answer.
    int32_t firstFailure = ERR_NONE;
    for (uint32_t slot = 0; slot < board->GetCameraCount(); ++slot) {
        CameraPin camera = board->PinCamera(slot);
        if (camera == nullptr) continue;
        const int32_t status = camera->AttachOrConnect();
        if (status != ERR_NONE && firstFailure == ERR_NONE) firstFailure = status;
    }
    if (firstFailure != ERR_NONE) return Refuse(frame, firstFailure, "Not every camera could be connected");
    return frame.Return(ERR_NONE);
}

extern "C" NOX_API int32_t Nox_LoadConnectionProfile(GrabberSession *session, const char *fileName,
                                                     NoxConnectionProfile **profile) {
    CallFrameResult frame([=] { return SessionItems(session); });
    if (session == nullptr || IsEmpty(fileName) || profile == nullptr) {
        frame.LogError("Invalid parameter");
        return frame.Return(ERR_INVALID_ARGUMENT);
    }
    *profile = nullptr;
    auto *record = new (std::nothrow) NoxConnectionProfile{};
    if (record == nullptr) return frame.Return(ERR_OUT_OF_MEMORY);
    if (int32_t status = Nox_initBoard(session, 0, &record->board); status != ERR_NONE) {
        FreeProfile(record);
        return frame.Return(status);
    }
    int32_t count = Nox_LoadBoardConfiguration(record->board, fileName);
    if (count == ERR_NONE) count = Nox_getCameraCount(record->board);
    if (count < 0) {
        Nox_freeBoard(record->board);
        FreeProfile(record);
        return frame.Return(count);
    }
    record->cameraCount = static_cast<uint32_t>(count);
    record->cameras = new (std::nothrow) NoxCameraHandle *[count]();
    record->cameraInfos = new (std::nothrow) NoxCameraInfo *[count]();
    record->states = new (std::nothrow) uint32_t[count]();
    if (record->cameras == nullptr || record->cameraInfos == nullptr || record->states == nullptr) {
        Nox_freeBoard(record->board);
        FreeProfile(record);
        return frame.Return(ERR_OUT_OF_MEMORY);
    }
    for (uint32_t i = 0; i < record->cameraCount; ++i) ConnectProfileCamera(*record, i);
    *profile = record;
    return frame.Return(ERR_NONE);
}

extern "C" NOX_API int32_t Nox_UnloadConnectionProfile(NoxConnectionProfile *profile) {
    CallFrameResult frame([] { return std::string(); });
    if (profile == nullptr) return frame.Return(ERR_INVALID_ARGUMENT);
    for (uint32_t i = 0; i < profile->cameraCount; ++i) {
        if (profile->cameras[i] == nullptr) continue;
        Nox_disconnectCamera(profile->cameras[i]);
        Nox_LinkDisconnect(profile->cameras[i]);
    }
    Nox_freeBoard(profile->board);
    FreeProfile(profile);
    return frame.Return(ERR_NONE);
}

extern "C" NOX_API int32_t Nox_StoreLowLevelLinkProfile(NoxBoardHandle *handle, const char *path) {
    return WithBoardAndPath(handle, path,
                            [](NOXBoardInterface &board, const std::string &file) { return board.StoreLinkProfile(file); });
}

extern "C" NOX_API int32_t Nox_RestoreLowLevelLinkProfile(NoxBoardHandle *handle, const char *path) {
    return WithBoardAndPath(handle, path, [](NOXBoardInterface &board, const std::string &file) {
        return board.RestoreLinkProfile(file);
    });
}
