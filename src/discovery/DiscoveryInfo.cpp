#include "discovery/DiscoveryInfo.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "nox_genicam.h"

namespace vexo::genicam {

namespace {

constexpr std::array<uint32_t, 7> kSupportedBitRates = {1250, 2500, 3125, 5000, 6250, 10000, 12500};

// Ports the routing value fills in for ports the model leaves unrouted.
constexpr uint32_t kDefaultRoutedPorts = 4;

std::string Tag(int line) { return "DiscoveryInfo_" + std::to_string(line); }

std::string Decimal(uint32_t value) { return std::to_string(value); }

bool IsNonNegative(uint32_t value) { return static_cast<int32_t>(value) >= 0; }

// A field of a record that may be missing; kNone without the record.
template <class Record>
uint32_t FieldOf(const Record *record, uint32_t Record::*field) {
    return record != nullptr ? record->*field : PortRecord::kNone;
}

}  // namespace

struct DiscoveryInfo::State {
    explicit State(uint32_t ports) : cameraPorts(ports), apPorts(ports), portCount(ports) {}

    std::vector<PortRecord> cameraPorts;
    std::vector<PortRecord> apPorts;
    uint8_t apTopologyKnown = 0;
    std::map<uint32_t, MasterRecord> masters;
    uint32_t portCount;
};

DiscoveryInfo::DiscoveryInfo(uint32_t portCount) : state_(std::make_unique<State>(portCount)) {}
DiscoveryInfo::DiscoveryInfo(const DiscoveryInfo &other) : state_(std::make_unique<State>(*other.state_)) {}
DiscoveryInfo &DiscoveryInfo::operator=(const DiscoveryInfo &other) {
    if (this != &other) state_ = std::make_unique<State>(*other.state_);
    return *this;
}
DiscoveryInfo::~DiscoveryInfo() = default;

void DiscoveryInfo::Reset() { state_ = std::make_unique<State>(state_->portCount); }
uint32_t DiscoveryInfo::GetPortCount() const { return state_->portCount; }
void DiscoveryInfo::SetApTopologyKnown() { state_->apTopologyKnown = 1; }
bool DiscoveryInfo::IsApTopologyKnown() const { return state_->apTopologyKnown != 0; }

bool DiscoveryInfo::IsSupportedBitRate(uint32_t bitRate) {
    return std::find(kSupportedBitRates.begin(), kSupportedBitRates.end(), bitRate) != kSupportedBitRates.end();
}

// --- private helpers ------------------------------------------------------

void DiscoveryInfo::RequirePort(uint32_t port, int line) const {
    if (port < state_->portCount) return;
    const int64_t lastIndex = int64_t{state_->portCount} - 1;
    throw std::invalid_argument(Tag(line) + ": the parameter pc_PortID(" + Decimal(port) +
                                ") exceeds the maximal port index(" + std::to_string(lastIndex) + "!");
}

MasterRecord &DiscoveryInfo::RequireMaster(uint32_t masterId, int line) {
    const auto found = state_->masters.find(masterId);
    if (found == state_->masters.end())
        throw std::invalid_argument(Tag(line) + ": the specified pc_MasterPortID(" + Decimal(masterId) +
                                    ") does not exist!");
    return found->second;
}

const MasterRecord *DiscoveryInfo::FindMaster(uint32_t masterId) const {
    const auto found = state_->masters.find(masterId);
    return found == state_->masters.end() ? nullptr : &found->second;
}

const PortRecord *DiscoveryInfo::CameraRecord(uint32_t port) const {
    return port < state_->portCount ? &state_->cameraPorts[port] : nullptr;
}

const PortRecord *DiscoveryInfo::ApRecord(uint32_t port) const {
    return port < state_->portCount ? &state_->apPorts[port] : nullptr;
}

namespace {

// Ports of one master ordered by extension id 0 .. count - 1 (first port per id).
std::vector<uint32_t> PortsByExtension(const std::vector<PortRecord> &records, uint32_t masterId) {
    std::vector<uint32_t> ports;
    const uint32_t count = static_cast<uint32_t>(records.size());
    for (uint32_t extension = 0; extension < count; ++extension) {
        for (uint32_t port = 0; port < count; ++port) {
            if (records[port].Holds(masterId, extension)) {
                ports.push_back(port);
                break;
            }
        }
    }
    return ports;
}

uint32_t FirstPortHolding(const std::vector<PortRecord> &records, uint32_t masterId, uint32_t extensionId) {
    for (uint32_t port = 0; port < records.size(); ++port)
        if (records[port].Holds(masterId, extensionId)) return port;
    return PortRecord::kNone;
}

}  // namespace

std::vector<uint32_t> DiscoveryInfo::CameraPortsByExtension(uint32_t masterId) const {
    return PortsByExtension(state_->cameraPorts, masterId);
}

std::vector<uint32_t> DiscoveryInfo::ApPortsByExtension(uint32_t apMasterId) const {
    return PortsByExtension(state_->apPorts, apMasterId);
}

void DiscoveryInfo::CrossLink(uint32_t cameraPort, uint32_t apPort) {
    PortRecord &camera = state_->cameraPorts[cameraPort];
    PortRecord &applet = state_->apPorts[apPort];
    camera.peerMasterId = applet.masterId;
    camera.peerExtensionId = applet.extensionId;
    camera.peerIndex = apPort;
    applet.peerMasterId = camera.masterId;
    applet.peerExtensionId = camera.extensionId;
    applet.peerIndex = cameraPort;
    if (camera.extensionId == 0) SetCommandPort(camera.masterId, apPort);
}

// --- writers ----------------------------------------------------------------

void DiscoveryInfo::SetCameraPort(uint32_t port, uint32_t masterId, uint32_t extensionId) {
    RequirePort(port, __LINE__);
    PortRecord &record = state_->cameraPorts[port];
    record.masterId = masterId;
    record.extensionId = extensionId;
    if (extensionId != 0) return;
    MasterRecord fresh;
    fresh.commandPort = port;
    state_->masters[masterId] = std::move(fresh);
}

void DiscoveryInfo::SetApPort(uint32_t port, uint32_t apMasterId, uint32_t extensionId) {
    RequirePort(port, __LINE__);
    state_->apPorts[port].masterId = apMasterId;
    state_->apPorts[port].extensionId = extensionId;
}

void DiscoveryInfo::ConnectLink(uint32_t cameraMasterId, uint32_t cameraExtensionId, uint32_t apMasterId,
                                uint32_t apExtensionId) {
    const uint32_t cameraPort = FirstPortHolding(state_->cameraPorts, cameraMasterId, cameraExtensionId);
    if (cameraPort == kNone)
        throw std::invalid_argument(Tag(__LINE__) + ": the specified pc_CameraMasterID(" + Decimal(cameraMasterId) +
                                    ") with pc_CameraExtensionID(" + Decimal(cameraExtensionId) +
                                    ") does not exist!");
    const uint32_t apPort = FirstPortHolding(state_->apPorts, apMasterId, apExtensionId);
    if (apPort == kNone)
        throw std::invalid_argument(Tag(__LINE__) + ": the specified pc_ApMasterID(" + Decimal(apMasterId) +
                                    ") with pc_ApExtensionID(" + Decimal(apExtensionId) + ") does not exist!");
    CrossLink(cameraPort, apPort);
}

void DiscoveryInfo::ConnectMasters(uint32_t cameraMasterId, uint32_t apMasterId, bool allowFewerCameraLinks,
                                   uint8_t mark) {
    const std::vector<uint32_t> cameraPorts = CameraPortsByExtension(cameraMasterId);
    const std::vector<uint32_t> apPorts = ApPortsByExtension(apMasterId);
    std::string note;
    if (cameraPorts.empty()) {
        note = Tag(__LINE__) + ": the camera master with the master ID(" + Decimal(cameraMasterId) +
               ") does not exist!";
    } else if (apPorts.empty()) {
        note = Tag(__LINE__) + ": the AP master with the master ID(" + Decimal(apMasterId) + ") does not exist!";
    } else if (apPorts.size() > cameraPorts.size() && !allowFewerCameraLinks) {
        note = Tag(__LINE__) + ": the camera master with the master ID(" + Decimal(cameraMasterId) +
               ") is not compatible with the AP master with the master ID(" + Decimal(apMasterId) +
               "). Camera port count(" + std::to_string(cameraPorts.size()) + ") != AP port count(" +
               std::to_string(apPorts.size()) + ")!";
    }
    // What can be connected is, even when the layouts do not match.
    for (std::size_t i = 0; i < cameraPorts.size() && i < apPorts.size(); ++i) {
        CrossLink(cameraPorts[i], apPorts[i]);
        PortRecord &camera = state_->cameraPorts[cameraPorts[i]];
        camera.connected = 1;
        camera.masterConnectMark = mark;
    }
    if (!note.empty()) throw DiscoveryException(ERR_LINK_LAYOUT_MISMATCH, note);
}

void DiscoveryInfo::SetCommandPort(uint32_t masterId, uint32_t port) {
    MasterRecord &record = state_->masters[masterId];
    record.commandPort = port;
    record.masterId = masterId;
}

void DiscoveryInfo::SetBitRate(uint32_t masterId, uint32_t bitRate) {
    MasterRecord &record = RequireMaster(masterId, __LINE__);
    if (!IsSupportedBitRate(bitRate))
        throw std::invalid_argument(Tag(__LINE__) + ": the specified pc_BitRate(" + Decimal(bitRate) +
                                    ") is not supported!");
    record.bitRate = bitRate;
}

void DiscoveryInfo::SetDiscoveryBitRate(uint32_t masterId, uint32_t bitRate) {
    MasterRecord &record = RequireMaster(masterId, __LINE__);
    if (!IsSupportedBitRate(bitRate))
        throw std::invalid_argument(Tag(__LINE__) + ": the specified pc_BitRate(" + Decimal(bitRate) +
                                    ") is not supported!");
    record.discoveryBitRate = bitRate;
}

void DiscoveryInfo::ResetBitRate(uint32_t masterId) { RequireMaster(masterId, __LINE__).bitRate = kNone; }

void DiscoveryInfo::SetControlPacketSize(uint32_t masterId, uint32_t bytes) {
    RequireMaster(masterId, __LINE__).controlPacketSize = bytes;
}

void DiscoveryInfo::SetStreamPacketSize(uint32_t masterId, uint32_t bytes) {
    RequireMaster(masterId, __LINE__).streamPacketSize = bytes;
}

void DiscoveryInfo::SetProtocolRevision(uint32_t masterId, uint32_t revision) {
    RequireMaster(masterId, __LINE__).protocolRevision = revision;
}

void DiscoveryInfo::SetCameraInfo(uint32_t masterId, const std::string &name, const char *value) {
    const auto found = state_->masters.find(masterId);
    if (found != state_->masters.end()) found->second.SetInfo(name, value);
}

// --- readers ----------------------------------------------------------------

std::optional<PortRecord> DiscoveryInfo::GetCameraPortRecord(uint32_t port) const {
    const PortRecord *record = CameraRecord(port);
    return record ? std::optional<PortRecord>(*record) : std::nullopt;
}

std::optional<PortRecord> DiscoveryInfo::GetApPortRecord(uint32_t port) const {
    const PortRecord *record = ApRecord(port);
    return record ? std::optional<PortRecord>(*record) : std::nullopt;
}


uint32_t DiscoveryInfo::GetCameraMasterId(uint32_t port) const {
    return FieldOf(CameraRecord(port), &PortRecord::masterId);
}

uint32_t DiscoveryInfo::GetCameraExtensionId(uint32_t port) const {
    return FieldOf(CameraRecord(port), &PortRecord::extensionId);
}

uint32_t DiscoveryInfo::GetCameraPeerIndex(uint32_t port) const {
    return FieldOf(CameraRecord(port), &PortRecord::peerIndex);
}

uint32_t DiscoveryInfo::FindCameraMasterPort(uint32_t masterId) const {
    return FirstPortHolding(state_->cameraPorts, masterId, 0);
}

uint32_t DiscoveryInfo::FindCameraPort(uint32_t masterId, uint32_t extensionId) const {
    if (FindMaster(masterId) == nullptr) return kNone;
    return FirstPortHolding(state_->cameraPorts, masterId, extensionId);
}

int32_t DiscoveryInfo::CountCameraLinks(uint32_t masterId) const {
    if (FindMaster(masterId) == nullptr) return -1;
    return static_cast<int32_t>(std::count_if(state_->cameraPorts.begin(), state_->cameraPorts.end(),
                                              [masterId](const PortRecord &r) { return r.masterId == masterId; }));
}

int32_t DiscoveryInfo::CountConnectedCameraLinks(uint32_t masterId) const {
    if (FindMaster(masterId) == nullptr) return -1;
    return static_cast<int32_t>(
        std::count_if(state_->cameraPorts.begin(), state_->cameraPorts.end(),
                      [masterId](const PortRecord &r) { return r.masterId == masterId && r.HasPeer(); }));
}

int32_t DiscoveryInfo::GetCameraPortMask(uint32_t masterId, int32_t maxLinks) const {
    if (CountCameraLinks(masterId) < 1) return -1;
    std::vector<std::pair<int32_t, uint32_t>> links;  // (extension id, port)
    for (uint32_t port = 0; port < state_->portCount; ++port) {
        const PortRecord &record = state_->cameraPorts[port];
        if (record.masterId == masterId && IsNonNegative(record.extensionId))
            links.emplace_back(static_cast<int32_t>(record.extensionId), port);
    }
    std::stable_sort(links.begin(), links.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    if (maxLinks >= 0 && links.size() > static_cast<std::size_t>(maxLinks)) links.resize(maxLinks);
    uint32_t mask = 0;
    for (const auto &link : links)
        if (link.second < 31) mask |= 1u << link.second;
    return static_cast<int32_t>(mask);
}

namespace {

// The port of the master with the smallest extension id above `floor` (signed).
uint32_t SmallestLinkAbove(const std::vector<PortRecord> &records, uint32_t masterId, int64_t floor,
                           uint32_t &outExtensionId) {
    uint32_t bestPort = PortRecord::kNone;
    int64_t bestExtension = 0;
    for (uint32_t port = 0; port < records.size(); ++port) {
        const PortRecord &record = records[port];
        const int64_t extension = static_cast<int32_t>(record.extensionId);
        if (record.masterId != masterId || extension <= floor) continue;
        if (bestPort == PortRecord::kNone || extension < bestExtension) {
            bestPort = port;
            bestExtension = extension;
        }
    }
    outExtensionId = bestPort == PortRecord::kNone ? PortRecord::kNone : static_cast<uint32_t>(bestExtension);
    return bestPort;
}

}  // namespace

uint32_t DiscoveryInfo::FirstCameraLink(uint32_t masterId, uint32_t &outExtensionId) const {
    return SmallestLinkAbove(state_->cameraPorts, masterId, -1, outExtensionId);
}

uint32_t DiscoveryInfo::NextCameraLink(uint32_t masterId, uint32_t previousExtensionId,
                                       uint32_t &outExtensionId) const {
    const int64_t floor = std::max<int64_t>(0, static_cast<int32_t>(previousExtensionId));
    return SmallestLinkAbove(state_->cameraPorts, masterId, floor, outExtensionId);
}

int32_t DiscoveryInfo::CountUnassignedPorts(uint32_t *mask) const {
    int32_t count = 0;
    for (uint32_t port = 0; port < state_->portCount; ++port) {
        if (state_->cameraPorts[port].masterId != kNone) continue;
        ++count;
        if (mask != nullptr && port < 32) *mask |= 1u << port;
    }
    return count;
}

void DiscoveryInfo::ListCameraMasters(bool distinct, std::vector<uint32_t> &masters) const {
    masters.clear();
    for (const PortRecord &record : state_->cameraPorts) {
        if (!distinct) {
            if (record.extensionId == 0 && record.masterId != 0) masters.push_back(record.masterId);
        } else if (static_cast<int32_t>(record.masterId) > 0 &&
                   std::find(masters.begin(), masters.end(), record.masterId) == masters.end()) {
            masters.push_back(record.masterId);
        }
    }
}

// --- applet side readers ----------------------------------------------------

uint32_t DiscoveryInfo::GetApMasterId(uint32_t port) const {
    return FieldOf(ApRecord(port), &PortRecord::masterId);
}

uint32_t DiscoveryInfo::GetApExtensionId(uint32_t port) const {
    return FieldOf(ApRecord(port), &PortRecord::extensionId);
}

uint32_t DiscoveryInfo::GetApPeerIndex(uint32_t port) const {
    return FieldOf(ApRecord(port), &PortRecord::peerIndex);
}

uint32_t DiscoveryInfo::FindApPort(uint32_t apMasterId, uint32_t extensionId) const {
    return FirstPortHolding(state_->apPorts, apMasterId, extensionId);
}

int32_t DiscoveryInfo::CountApLinks(uint32_t apMasterId) const {
    const auto count = std::count_if(state_->apPorts.begin(), state_->apPorts.end(),
                                     [apMasterId](const PortRecord &r) { return r.masterId == apMasterId; });
    return count > 0 ? static_cast<int32_t>(count) : -1;
}

int32_t DiscoveryInfo::GetApMasterPortMask(uint32_t apMasterId) const {
    const int32_t links = CountApLinks(apMasterId);
    if (links < 1) return -1;
    uint32_t mask = 0;
    for (int32_t extension = 0; extension < links; ++extension) {
        // An AP master may lack an extension id below its link count; such gaps add nothing.
        const uint32_t port = FindApPort(apMasterId, static_cast<uint32_t>(extension));
        if (port < 31) mask |= 1u << port;
    }
    return static_cast<int32_t>(mask);
}

int32_t DiscoveryInfo::LargestFreeApMaster() const {
    int32_t largest = 0;
    for (const PortRecord &record : state_->apPorts) {
        if (record.extensionId != 0 || record.masterId == kNone || record.HasPeer()) continue;
        largest = std::max(largest, CountApLinks(record.masterId));
    }
    return largest;
}

// --- master record readers --------------------------------------------------

uint32_t DiscoveryInfo::GetCommandPort(uint32_t masterId) const {
    return FieldOf(FindMaster(masterId), &MasterRecord::commandPort);
}

uint32_t DiscoveryInfo::GetBitRate(uint32_t masterId) const {
    return FieldOf(FindMaster(masterId), &MasterRecord::bitRate);
}

uint32_t DiscoveryInfo::GetDiscoveryBitRate(uint32_t masterId) const {
    return FieldOf(FindMaster(masterId), &MasterRecord::discoveryBitRate);
}

uint32_t DiscoveryInfo::GetControlPacketSize(uint32_t masterId) const {
    return FieldOf(FindMaster(masterId), &MasterRecord::controlPacketSize);
}

uint32_t DiscoveryInfo::GetStreamPacketSize(uint32_t masterId) const {
    return FieldOf(FindMaster(masterId), &MasterRecord::streamPacketSize);
}

uint32_t DiscoveryInfo::GetProtocolRevision(uint32_t masterId) const {
    return FieldOf(FindMaster(masterId), &MasterRecord::protocolRevision);
}

std::optional<CameraInfoTexts> DiscoveryInfo::GetCameraInfo(uint32_t masterId) const {
    const MasterRecord *record = FindMaster(masterId);
    if (record == nullptr) return std::nullopt;
    return record->InfoFields();
}

// --- routing ----------------------------------------------------------------

DiscoverySelect DiscoveryInfo::ComputeDiscoverySelect() const {
    if (state_->masters.empty()) return DiscoverySelect(DiscoverySelect::kIdentity);
    DiscoverySelect routing(DiscoverySelect::kNoRoutes);
    const uint32_t ports = state_->portCount;
    // The camera side's peer decides, so a stale reference left on the applet side routes nothing wrong.
    for (uint32_t apPort = 0; apPort < ports; ++apPort) {
        const uint32_t cameraPort = state_->apPorts[apPort].peerIndex;
        if (cameraPort >= ports) continue;
        const uint32_t peerApPort = state_->cameraPorts[cameraPort].peerIndex;
        if (peerApPort < ports) routing.Assign(cameraPort, peerApPort);
    }
    routing.AssignFreePorts(kDefaultRoutedPorts);
    return routing;
}

}  // namespace vexo::genicam
