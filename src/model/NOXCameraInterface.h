#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "board/ControllerKind.h"
#include "logging/LazyLogger.h"
#include "logging/Logger.h"
#include "model/LinkRecord.h"
#include "nox_genicam.h"
#include "platform/LiveObjectSet.h"
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
// The camera is used by application threads and by its board's monitoring
// thread at once: flags and link parameters are atomic; the link records, the
// identification texts, the kept feature texts and the link watch state are
// guarded by the camera's record lock, which is taken last of all locks and
// held for no call out of the camera.
class NOXCameraInterface {
public:
    static constexpr uint32_t kNone = LinkRecord::kNone;
    static constexpr uint32_t kMaxLinks = 4;
    // What a link check found; kUnknown when it could not look.
    enum class LinkState { kUp, kLost, kUnknown };

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
    void SetLinkUp(bool value);
    bool IsDummy() const { return dummy_.load(); }
    void SetDummy(bool value) { dummy_.store(value); }
    bool IsTopologyOk() const { return topologyOk_.load(); }

    // --- Link parameters -------------------------------------------------
    uint32_t CommandPort() const { return commandPort_.load(); }
    void SetCommandPort(uint32_t port) { commandPort_.store(port); }
    uint32_t MasterId() const { return masterId_.load(); }
    void SetMasterId(uint32_t id) { masterId_.store(id); }
    uint32_t ApMasterId() const { return apMasterId_.load(); }
    uint32_t BitRate() const { return bitRate_.load(); }
    // ERR_INVALID_LINK_SPEED for anything but the seven link bit rates.
    int32_t SetBitRate(uint32_t bitRate);
    uint32_t DiscoveryBitRate() const { return discoveryBitRate_.load(); }
    void SetDiscoveryBitRate(uint32_t bitRate) { discoveryBitRate_.store(bitRate); }
    uint32_t LinkCount() const { return linkCount_.load(); }
    // ERR_INVALID_ARGUMENT above 4 links.
    int32_t SetLinkCount(uint32_t count);
    uint32_t StreamPacketSize() const { return streamPacketSize_.load(); }
    int32_t SetStreamPacketSize(uint32_t bytes);
    uint32_t ControlPacketSize() const { return controlPacketSize_.load(); }
    void SetControlPacketSize(uint32_t bytes) { controlPacketSize_.store(bytes); }
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
    // Copies: the records may change while the copy is used.
    LinkRecord Link(uint32_t link) const;
    std::array<LinkRecord, kMaxLinks> Links() const;
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
    // pointer stays valid until the same thread's next text for the same
    // feature replaces it, or the camera is deleted, so threads reading one
    // feature at once do not pull texts from under each other.
    const char *KeepFeatureText(const std::string &feature, std::string text);

    // --- Links -----------------------------------------------------------
    // Brings the camera's links up: completes the layout in the model, locks
    // the links, writes the routing, sets the camera's master id and packet
    // sizes and its link configuration. 0, ERR_LINK_LAYOUT_MISMATCH when the
    // applet operator does not fit, else the failure. Holds the board's link
    // lock throughout; on Camera Link HS boards, whose connects count links
    // on every board, the board registry's lock before it.
    int32_t LinkConnect();
    // True when the applet operator fits the camera; stored as topologyOk.
    bool CheckTopology();
    void UpdateDiscoverySelect(DiscoveryInfo &info);
    // False when the link is lost. Unforced, a camera without linkUp or still in
    // its initial wait after a connect answers true. Forced, a link that could
    // not be looked at is no link.
    bool IsLinkUp(bool force);
    // The link check as IsLinkUp makes it; waits at most `lockPatience` for
    // the board's link lock (none: as long as it takes), kUnknown after that
    // or when the controller could not look.
    LinkState CheckLink(bool force, std::optional<std::chrono::milliseconds> lockPatience);
    // Successful link connects so far; a check taken with one count is about that connect.
    uint64_t ConnectCount() const;
    // Clears linkUp when it was set by connect number `connects`. True for the
    // one caller that cleared it: a loss is reported once, and a loss seen
    // just before a new connect does not take the new link down.
    bool ClaimLinkLoss(uint64_t connects);

private:
    void Log(uint32_t level, const std::string &message);
    void Trace(const std::string &marker);
    FirmwareControllerBase *Controller() const;
    int32_t CheckLinkRecordsComplete(const std::array<LinkRecord, kMaxLinks> &links);
    bool HasUnconnectedRecord(const std::array<LinkRecord, kMaxLinks> &links);
    void MarkLinkConnected();
    void SetLinkRecord(uint32_t link, const LinkRecord &record);
    bool HasCameraInfo() const;
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
    std::atomic<uint32_t> apMasterId_{kNone};
    std::atomic<bool> discovered_{false};
    std::atomic<bool> connected_{false};
    std::atomic<bool> linkUp_{false};
    std::atomic<bool> dummy_{false};
    std::atomic<uint32_t> bitRate_;
    std::atomic<uint32_t> discoveryBitRate_{0};
    std::atomic<uint32_t> linkCount_{0};
    std::atomic<uint32_t> streamPacketSize_{0};
    std::atomic<uint32_t> controlPacketSize_;
    const uint32_t syncInitialWaitMs_;
    std::atomic<bool> topologyOk_{false};
    tools::logging::LazyLogger logger_;

    mutable std::mutex recordMutex_;  // guards what follows, up to the GenApi objects
    std::array<LinkRecord, kMaxLinks> links_;
    std::map<std::string, std::string> infoStrings_;
    NoxCameraInfo infoFields_{};
    bool infoValid_ = false;
    templates::platform::Stopwatch syncStopwatch_;
    bool syncWaitOver_ = false;
    uint64_t connects_ = 0;
    std::map<std::pair<std::string, std::thread::id>, std::string> featureTexts_;

    // Declared before the node map so that the node map goes first.
    std::unique_ptr<GenApi::IPort> port_;
    std::unique_ptr<GenApi::CNodeMapRef> nodeMap_;
    std::vector<uint8_t> description_;
};

// The camera handle of the exported interface is the camera object's address.
inline NoxCameraHandle *ToHandle(NOXCameraInterface *camera) { return reinterpret_cast<NoxCameraHandle *>(camera); }

// A camera held for the length of a call or a callback: neither the camera nor
// its board is deleted while it is held (a scan or a free that retires them
// meanwhile leaves the deleting to the release). Move-only; converts to the
// camera's address only while held in a variable.
class CameraPin {
public:
    using BoardHold = templates::platform::LiveObjectSet<NOXBoardInterface>::Pin;
    using CameraHold = templates::platform::LiveObjectSet<NOXCameraInterface>::Pin;

    CameraPin() = default;
    CameraPin(BoardHold board, CameraHold camera) : board_(std::move(board)), camera_(std::move(camera)) {}

    NOXCameraInterface *get() const { return camera_.get(); }
    NOXCameraInterface *operator->() const { return camera_.get(); }
    NOXCameraInterface &operator*() const { return *camera_.get(); }
    operator NOXCameraInterface *() const & { return camera_.get(); }
    operator NOXCameraInterface *() const && = delete;
    bool operator==(std::nullptr_t) const { return camera_ == nullptr; }

private:
    // The camera goes first: its end may still reach its board.
    BoardHold board_;
    CameraHold camera_;
};

// The camera a handle names, pinned with its board; empty when no live camera
// has that address (freed with its board or by a new scan, or never issued)
// or its board is being freed. The handle is not followed. An address in use
// again names the new camera.
CameraPin LiveCamera(NoxCameraHandle *handle);
// The cameras of a retired board or scan go through here: deleted at once
// unless a call or a callback holds them, else when the last lets go.
void RetireCamera(std::unique_ptr<NOXCameraInterface> camera);

}  // namespace vexo::genicam
