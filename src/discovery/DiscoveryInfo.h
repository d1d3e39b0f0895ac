#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "discovery/DiscoveryException.h"
#include "discovery/DiscoverySelect.h"
#include "discovery/MasterRecord.h"
#include "discovery/PortRecord.h"

namespace vexo::genicam {

// The result of a camera discovery on one board and the working model of how
// its ports are wired: one PortRecord per physical camera port (camera side),
// one per applet camera-operator port (applet side), and one MasterRecord per
// camera master id. A camera link (camera side) is connected to an applet port
// by cross-referencing the two records.
//
// Values: ids and ports are unsigned; kNone (0xFFFFFFFF, "-1") means none.
// Counts and masks are signed and -1 means none. Bit rates are Mbit/s per link.
//
// Writers throw std::invalid_argument for a port beyond the last index, an
// unknown master or an unsupported bit rate, and change nothing before they
// throw; ConnectMasters connects what it can and then throws DiscoveryException
// (ERR_LINK_LAYOUT_MISMATCH). Messages begin with "DiscoveryInfo_<line>".
// Readers never throw.
//
// No lock: the owner serialises access. Copies are independent values.
class DiscoveryInfo {
public:
    static constexpr uint32_t kNone = PortRecord::kNone;
    static constexpr uint32_t kDefaultPortCount = 4;

    explicit DiscoveryInfo(uint32_t portCount = kDefaultPortCount);
    DiscoveryInfo(const DiscoveryInfo &other);
    DiscoveryInfo &operator=(const DiscoveryInfo &other);
    ~DiscoveryInfo();

    // Discards every record, connection and the applet-topology flag; keeps the port count.
    void Reset();
    uint32_t GetPortCount() const;
    void SetApTopologyKnown();
    bool IsApTopologyKnown() const;

    // --- Writing the two sides -------------------------------------------
    // Records the link (masterId, extensionId) at a camera port. A master link
    // (extension 0) replaces the camera's master record by a fresh one whose
    // command port is this port.
    void SetCameraPort(uint32_t port, uint32_t masterId, uint32_t extensionId);
    void SetApPort(uint32_t port, uint32_t apMasterId, uint32_t extensionId);
    // Connects the first camera port holding (cameraMasterId, cameraExtensionId)
    // with the first applet port holding (apMasterId, apExtensionId). Connecting
    // the master link makes the applet port the camera's command port.
    void ConnectLink(uint32_t cameraMasterId, uint32_t cameraExtensionId, uint32_t apMasterId,
                     uint32_t apExtensionId);
    // Connects the camera's links to the AP master's ports pairwise in ascending
    // extension id, marking camera ports connected with `mark`. Throws
    // DiscoveryException after connecting when the camera or the AP master has no
    // ports, or when the AP master has more ports than the camera has links and
    // allowFewerCameraLinks is false.
    void ConnectMasters(uint32_t cameraMasterId, uint32_t apMasterId, bool allowFewerCameraLinks, uint8_t mark);
    // Creates the master record when missing.
    void SetCommandPort(uint32_t masterId, uint32_t port);

    // --- Master record setters (throw for an unknown master) ---------------
    void SetBitRate(uint32_t masterId, uint32_t bitRate);           // also throws for an unsupported rate
    void SetDiscoveryBitRate(uint32_t masterId, uint32_t bitRate);  // likewise
    void ResetBitRate(uint32_t masterId);                           // bit rate := kNone
    void SetControlPacketSize(uint32_t masterId, uint32_t bytes);
    void SetStreamPacketSize(uint32_t masterId, uint32_t bytes);
    void SetProtocolRevision(uint32_t masterId, uint32_t revision);
    // Ignored for an unknown master; a null value stores the empty text.
    void SetCameraInfo(uint32_t masterId, const std::string &name, const char *value);

    // --- Whole records (copies); nothing beyond the last index -------------
    std::optional<PortRecord> GetCameraPortRecord(uint32_t port) const;
    std::optional<PortRecord> GetApPortRecord(uint32_t port) const;

    // --- Camera side readers ----------------------------------------------
    uint32_t GetCameraMasterId(uint32_t port) const;
    uint32_t GetCameraExtensionId(uint32_t port) const;
    uint32_t GetCameraPeerIndex(uint32_t port) const;
    // First port holding the camera's master link (extension 0).
    uint32_t FindCameraMasterPort(uint32_t masterId) const;
    // kNone also when the master has no record.
    uint32_t FindCameraPort(uint32_t masterId, uint32_t extensionId) const;
    // -1 without a master record.
    int32_t CountCameraLinks(uint32_t masterId) const;
    int32_t CountConnectedCameraLinks(uint32_t masterId) const;
    // Mask of the camera's ports in ascending extension id, at most maxLinks of
    // them (-1: all); -1 when the camera has no links.
    int32_t GetCameraPortMask(uint32_t masterId, int32_t maxLinks) const;
    // The camera's link with the smallest extension id; writes that id (or kNone).
    uint32_t FirstCameraLink(uint32_t masterId, uint32_t &outExtensionId) const;
    // The link with the smallest extension id above both 0 and previousExtensionId;
    // writes that id, or kNone at the end.
    uint32_t NextCameraLink(uint32_t masterId, uint32_t previousExtensionId, uint32_t &outExtensionId) const;
    // Camera ports without a master id; ORs their bits into *mask when given.
    int32_t CountUnassignedPorts(uint32_t *mask = nullptr) const;
    // distinct = false: the master id of every master link (extension 0) whose id
    // is not 0, in port order. distinct = true: every id above 0 (as a signed
    // value) once, in the order of its first port. `masters` is cleared first.
    void ListCameraMasters(bool distinct, std::vector<uint32_t> &masters) const;

    // --- Applet side readers ----------------------------------------------
    uint32_t GetApMasterId(uint32_t port) const;
    uint32_t GetApExtensionId(uint32_t port) const;
    uint32_t GetApPeerIndex(uint32_t port) const;
    uint32_t FindApPort(uint32_t apMasterId, uint32_t extensionId) const;
    int32_t CountApLinks(uint32_t apMasterId) const;  // -1 when none
    int32_t GetApMasterPortMask(uint32_t apMasterId) const;
    // Largest link count among AP masters whose master port is unconnected; 0 if none.
    int32_t LargestFreeApMaster() const;

    // --- Master record readers (kNone / nothing for an unknown master) -----
    uint32_t GetCommandPort(uint32_t masterId) const;
    uint32_t GetBitRate(uint32_t masterId) const;
    uint32_t GetDiscoveryBitRate(uint32_t masterId) const;
    uint32_t GetControlPacketSize(uint32_t masterId) const;
    uint32_t GetStreamPacketSize(uint32_t masterId) const;
    uint32_t GetProtocolRevision(uint32_t masterId) const;
    std::optional<CameraInfoTexts> GetCameraInfo(uint32_t masterId) const;

    // The routing the model describes: identity while no master is known;
    // else every connection routed, then unrouted camera ports 0..3 given the
    // lowest unrouted applet ports 0..3 in ascending order.
    DiscoverySelect ComputeDiscoverySelect() const;

    static bool IsSupportedBitRate(uint32_t bitRate);

private:
    struct State;

    MasterRecord &RequireMaster(uint32_t masterId, int line);
    const MasterRecord *FindMaster(uint32_t masterId) const;
    void RequirePort(uint32_t port, int line) const;
    const PortRecord *CameraRecord(uint32_t port) const;
    const PortRecord *ApRecord(uint32_t port) const;
    // Camera ports of the master ordered by extension id 0 .. port count - 1.
    std::vector<uint32_t> CameraPortsByExtension(uint32_t masterId) const;
    std::vector<uint32_t> ApPortsByExtension(uint32_t apMasterId) const;
    // Cross-references camera port c and applet port a; a master link makes a the command port.
    void CrossLink(uint32_t cameraPort, uint32_t apPort);

    std::unique_ptr<State> state_;
};

}  // namespace vexo::genicam
