#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "board/ControllerKind.h"
#include "logging/LazyLogger.h"
#include "logging/Logger.h"
#include "model/LinkRecord.h"
#include "nox_genicam.h"
#include "platform/Stopwatch.h"

namespace GenApi {
class CNodeMapRef;
class INodeMap;
class IPort;
}  // namespace GenApi

namespace vexo::genicam {

class DiscoveryInfo;
class FirmwareControllerBase;
class NOXBoardInterface;

// One camera on one board: found by a scan, a placeholder for a free camera
// operator, or described by a configuration file. It knows its links (index =
// extension id, 0 the master link), brings them up in the order the hardware
// needs (LinkConnect) and checks the result against the applet.
//
// The flags are read by the board's monitoring thread while an application
// thread connects, hence atomic.
class NOXCameraInterface {
public:
    static constexpr uint32_t kNone = LinkRecord::kNone;
    static constexpr uint32_t kMaxLinks = 4;

    // Reads "NOX::SyncMonitorInitialWaitInMs" and starts the sync stopwatch.
    // The camera is live (LiveCamera finds it) from here until its destructor starts.
    NOXCameraInterface(NOXBoardInterface *board, uint32_t port);
    virtual ~NOXCameraInterface();
    NOXCameraInterface(const NOXCameraInterface &) = delete;
    NOXCameraInterface &operator=(const NOXCameraInterface &) = delete;

    virtual tools::logging::Logger *GetLogger();  // "vexo.genicam.NOXCameraInterface"

    NOXBoardInterface *Board() const { return board_; }
    ControllerKind Kind() const { return controllerKind_; }

    // --- Flags -----------------------------------------------------------
    bool IsDiscovered() const { return discovered_.load(); }
    void SetDiscovered(bool value) { discovered_.store(value); }
    bool IsConnected() const { return connected_.load(); }
    // Clearing the flag releases the node map and then its port.
    void SetConnected(bool value);
    bool IsLinkUpFlag() const { return linkUp_.load(); }
    void SetLinkUp(bool value) { linkUp_.store(value); }
    bool IsDummy() const { return dummy_.load(); }
    void SetDummy(bool value) { dummy_.store(value); }
    bool IsTopologyOk() const { return topologyOk_.load(); }

    // --- Link parameters -------------------------------------------------
    uint32_t CommandPort() const { return commandPort_.load(); }
    void SetCommandPort(uint32_t port) { commandPort_.store(port); }
    uint32_t MasterId() const { return masterId_.load(); }
    void SetMasterId(uint32_t id) { masterId_.store(id); }
    uint32_t ApMasterId() const { return apMasterId_; }
    uint32_t BitRate() const { return bitRate_; }
    // ERR_INVALID_LINK_SPEED for anything but the seven link bit rates.
    int32_t SetBitRate(uint32_t bitRate);
    uint32_t DiscoveryBitRate() const { return discoveryBitRate_; }
    void SetDiscoveryBitRate(uint32_t bitRate) { discoveryBitRate_ = bitRate; }
    uint32_t LinkCount() const { return linkCount_; }
    // ERR_INVALID_ARGUMENT above 4 links.
    int32_t SetLinkCount(uint32_t count);
    uint32_t StreamPacketSize() const { return streamPacketSize_; }
    int32_t SetStreamPacketSize(uint32_t bytes);
    uint32_t ControlPacketSize() const { return controlPacketSize_; }
    void SetControlPacketSize(uint32_t bytes) { controlPacketSize_ = bytes; }
    uint32_t SyncInitialWaitMs() const { return syncInitialWaitMs_; }
    // Turns the camera into the placeholder of a free camera operator whose
    // master port is `apPort`: discovered, dummy, no link parameters.
    void MakePlaceholder(uint32_t placeholderId, uint32_t apPort, uint32_t linkCount);

    // --- Link records: ERR_INVALID_ARGUMENT for a link index of 4 or more,
    // and for ports and extension ids of 4 or more. An AP master id set with
    // link index kNone is the camera-wide one.
    int32_t SetLinkCameraPort(uint32_t link, uint32_t port);
    int32_t SetLinkApPort(uint32_t link, uint32_t port);
    int32_t SetLinkApMasterId(uint32_t link, uint32_t apMasterId);
    int32_t SetLinkApExtensionId(uint32_t link, uint32_t extensionId);
    int32_t GetLinkCameraPort(uint32_t link, uint32_t &port) const;
    int32_t GetLinkApPort(uint32_t link, uint32_t &port) const;
    int32_t GetLinkApMasterId(uint32_t link, uint32_t &apMasterId) const;
    int32_t GetLinkApExtensionId(uint32_t link, uint32_t &extensionId) const;
    bool IsMasterLink(uint32_t link) const { return link == 0; }
    LinkRecord Link(uint32_t link) const;
    bool UsesCameraPort(uint32_t port) const;

    // The port the camera is known by: its command port once discovered, else
    // the applet port its master link feeds (or that physical port), else the
    // physical port of its first link record; kNone when nothing is known.
    uint32_t GetPortIndex();

    // --- Identification --------------------------------------------------
    void SetCameraInfo(const std::array<std::optional<std::string>, 8> &texts);
    // Fetched from the camera on first use unless a placeholder; null while unknown.
    const NoxCameraInfo *GetCameraInfo();

    // --- GenICam ---------------------------------------------------------
    // Takes the node map and the port it is connected to, releasing the
    // previous ones (node map first: it reads through its port).
    void SetGenApiObjects(std::unique_ptr<GenApi::CNodeMapRef> nodeMap, std::unique_ptr<GenApi::IPort> port);
    // The camera's node map; null while no GenICam connection exists. Valid
    // until the connection is dropped or replaced.
    GenApi::INodeMap *NodeMap() const;
    // The copy of the camera's description (empty when there is none).
    const std::vector<uint8_t> &Description() const { return description_; }
    void SetDescription(std::vector<uint8_t> bytes) { description_ = std::move(bytes); }
    // Keeps a copy of a text handed out for a feature and returns it. The
    // pointer stays valid until the next text for the same feature replaces
    // it, or the camera is deleted. Not guarded: callers serialise per camera.
    const char *KeepFeatureText(const std::string &feature, std::string text);

    // --- Links -----------------------------------------------------------
    // Brings the camera's links up: completes the layout in the model, locks
    // the links, writes the routing, sets the camera's master id and packet
    // sizes and its link configuration. 0, ERR_LINK_LAYOUT_MISMATCH when the
    // applet operator does not fit, else the failure.
    int32_t LinkConnect();
    // True when the applet operator fits the camera; stored as topologyOk.
    bool CheckTopology();
    void UpdateDiscoverySelect(DiscoveryInfo &info);
    // False when the link is lost. Unforced, a camera without linkUp or still in
    // its initial wait after a connect answers true.
    bool IsLinkUp(bool force);

private:
    void Log(uint32_t level, const std::string &message);
    void Trace(const std::string &marker);
    FirmwareControllerBase *Controller() const;
    int32_t CheckLinkRecordsComplete();
    int32_t DetermineLayout(DiscoveryInfo &info);
    int32_t ConnectModelFromRecords(DiscoveryInfo &info);
    int32_t StoreConnectionParameters(DiscoveryInfo &info);
    int32_t SetUpMasterLink();
    bool CheckApPortsConnected(DiscoveryInfo &info, uint32_t apMaster, int32_t apLinks);
    bool CheckCameraLinksOnOperator(DiscoveryInfo &info, uint32_t apMaster);
    bool CheckConfiguredLinkCount(int32_t apLinks, bool acceptsPartlyUsed, bool answer);

    NOXBoardInterface *board_;
    ControllerKind controllerKind_;
    std::atomic<uint32_t> commandPort_;
    std::atomic<uint32_t> masterId_{0};
    uint32_t apMasterId_ = kNone;
    std::atomic<bool> discovered_{false};
    std::atomic<bool> connected_{false};
    std::atomic<bool> linkUp_{false};
    std::atomic<bool> dummy_{false};
    uint32_t bitRate_;
    uint32_t discoveryBitRate_ = 0;
    uint32_t linkCount_ = 0;
    uint32_t streamPacketSize_ = 0;
    uint32_t controlPacketSize_;
    std::map<std::string, std::string> infoStrings_;
    NoxCameraInfo infoFields_{};
    bool infoValid_ = false;
    templates::platform::Stopwatch syncStopwatch_;
    std::atomic<bool> syncWaitOver_{false};
    uint32_t syncInitialWaitMs_;
    std::array<LinkRecord, kMaxLinks> links_;
    std::atomic<bool> topologyOk_{false};
    tools::logging::LazyLogger logger_;
    // Declared before the node map so that the node map goes first.
    std::unique_ptr<GenApi::IPort> port_;
    std::unique_ptr<GenApi::CNodeMapRef> nodeMap_;
    std::vector<uint8_t> description_;
    std::map<std::string, std::string> featureTexts_;
};

// The camera handle of the exported interface is the camera object's address.
inline NoxCameraHandle *ToHandle(NOXCameraInterface *camera) { return reinterpret_cast<NoxCameraHandle *>(camera); }
// The camera a handle names, or null when no live camera has that address
// (freed with its board or by a new scan, or never issued). The handle is
// not followed. An address in use again names the new camera.
NOXCameraInterface *LiveCamera(NoxCameraHandle *handle);

}  // namespace vexo::genicam
