#include "clhs/ClhsController.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

#include "board/BoardLibraries.h"
#include "cxp/CxpLog.h"
#include "logging/LoggerNames.h"
#include "nox_genicam.h"
#include "platform/Environment.h"
#include "protocol/ClhsRegisters.h"

namespace vexo::genicam {

using clhs::ClhsRegisterMap;
using templates::platform::RecursiveMutex;
using Map = ClhsRegisterMap;
using tools::logging::kLevelError;
using tools::logging::kLevelInfo;
namespace wire = protocol::clhs;

namespace {

constexpr const char *kMaskVariable = "VEXO_CLHS_PORT_MASTER_MASK_";
constexpr uint32_t kAllPorts = (1u << clhs::kPorts) - 1;
constexpr uint32_t kTypeU32 = 1;

enum Property : uint32_t {
    kFecFlag = 1,
    kReadMdio = 3,
    kWriteMdio = 4,
    kLinkStateValue = 5,
    kLinkDetection = 6,
};

ClhsRegisterMap FindRegisters(uint64_t applet) {
    return ClhsRegisterMap::Find([applet](const char *name) { return FindAppletRegister(applet, name); });
}

// A whole decimal number, nothing before or after it.
std::optional<uint32_t> ParseDecimal(const std::string &text) {
    uint32_t value = 0;
    const char *end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || at != end) return std::nullopt;
    return value;
}

}  // namespace

ClhsController::ClhsController(uint64_t device, uint64_t applet, ControllerOwner *owner, uint32_t, bool useMask,
                               uint32_t portMask)
    : FirmwareControllerBase(device, applet, owner),
      board_(device, FindRegisters(applet)),
      channel_(board_),
      mdio_(board_),
      gencp_(channel_, CachedLogger(tools::logging::names::kClhsController)),
      transceivers_(board_, mdio_, [this](uint32_t level, const std::string &text) { Log(level, text); }),
      info_(clhs::kPorts) {
    portMasterMask_ = ReadPortMasterMask(useMask, portMask);
    ResetChannels();
    for (uint32_t port = 0; port < clhs::kPorts; ++port)
        if (portMasterMask_ >> port & 1) StartLinkThread(port);
}

ClhsController::~ClhsController() {
    board_.Close();
    for (uint32_t port = 0; port < clhs::kPorts; ++port) StopLinkThread(port);
}

tools::logging::Logger *ClhsController::GetLogger() { return CachedLogger(tools::logging::names::kClhsController); }

void ClhsController::Log(uint32_t level, const std::string &text) { cxp::CxpLog(GetLogger()).Write(level, text); }

uint32_t ClhsController::ReadPortMasterMask(bool useMask, uint32_t portMask) {
    const std::string name = kMaskVariable + std::to_string(BoardIndex());
    const std::optional<std::string> text = templates::platform::GetEnvironment(name.c_str());
    if (!text) return useMask ? portMask & kAllPorts : 1;
    const std::optional<uint32_t> mask = ParseDecimal(*text);
    if (!mask) {
        Log(kLevelError, "Failed to set CLHS port master mask from environment variable " + name + ": Invalid value " + *text);
        return 1;
    }
    Log(kLevelInfo, "Using " + name + " = " + cxp::Hex(*mask));
    return *mask;
}

// Every channel and transceiver from a known state, then the physical layer.
void ClhsController::ResetChannels() {
    Log(kLevelInfo, "Resetting XCore on all channels...");
    for (uint32_t port = 0; port < clhs::kPorts; ++port) channel_.Reset(port);
    Log(kLevelInfo, "Resetting GTX transceivers on all channels...");
    transceivers_.Reset(kAllPorts, "");
    transceivers_.StartPhysicalLayer();
}

void ClhsController::FinishSetup() { board_.Pause(kFinishSetupWait); }

// --- Link state threads -------------------------------------------------------

bool ClhsController::StartLinkThread(uint32_t port) {
    if (port >= clhs::kPorts) return false;
    std::lock_guard<std::mutex> guard(threadsLock_);
    if (!linkThreads_[port])
        linkThreads_[port] = std::make_unique<clhs::LinkStateControllerThread>(
            port, board_, channel_, transceivers_, [this](uint32_t level, const std::string &text) { Log(level, text); });
    return true;
}

void ClhsController::StopLinkThread(uint32_t port) {
    if (port >= clhs::kPorts) return;
    std::unique_ptr<clhs::LinkStateControllerThread> stopped;
    {
        std::lock_guard<std::mutex> guard(threadsLock_);
        stopped = std::move(linkThreads_[port]);
    }
}

const clhs::LinkStateControllerThread *ClhsController::LinkThread(uint32_t port) const {
    std::lock_guard<std::mutex> guard(threadsLock_);
    return port < clhs::kPorts ? linkThreads_[port].get() : nullptr;
}

bool ClhsController::IsLinkSynchronized(uint32_t port) {
    if (port >= clhs::kPorts) return false;
    std::lock_guard<std::mutex> guard(threadsLock_);
    return !linkThreads_[port] || linkThreads_[port]->GetState() == clhs::LinkStateControllerThread::kUp;
}

// --- Camera registers -----------------------------------------------------------

int32_t ClhsController::ReadRaw(uint32_t port, uint64_t address, void *buffer, uint32_t bytes, ByteSwap swap,
                                uint32_t timeoutMs) {
    return gencp_.Read(port, address, buffer, bytes, swap, timeoutMs);
}

int32_t ClhsController::WriteRaw(uint32_t port, uint64_t address, const void *data, uint32_t bytes, ByteSwap swap,
                                 uint32_t timeoutMs) {
    return gencp_.Write(port, address, data, bytes, swap, AcknowledgeMode::kRequired, timeoutMs);
}

int32_t ClhsController::WriteRegister(uint32_t port, uint64_t address, uint32_t value, ByteSwap swap,
                                      AcknowledgeMode, uint32_t timeoutMs) {
    // The bytes go out as the caller's memory holds them; swapped, the value
    // arrives most significant byte first.
    return WriteRaw(port, address, &value, sizeof value, swap, timeoutMs);
}

int32_t ClhsController::WriteMemory(uint32_t port, uint64_t address, const void *data, uint32_t bytes, ByteSwap swap,
                                    uint32_t timeoutMs) {
    std::vector<uint8_t> padded((bytes + 3) / 4 * 4, 0);
    if (bytes != 0) std::memcpy(padded.data(), data, bytes);
    return WriteRaw(port, address, padded.data(), uint32_t(padded.size()), swap, timeoutMs);
}

int32_t ClhsController::ReadMemory(uint32_t port, uint64_t address, void *buffer, uint32_t bytes,
                                   uint32_t timeoutMs) {
    std::vector<uint8_t> padded((bytes + 3) / 4 * 4, 0);
    const int32_t status = ReadRaw(port, address, padded.data(), uint32_t(padded.size()), ByteSwap::kWireOrder, timeoutMs);
    if (status == ERR_NONE && bytes != 0) std::memcpy(buffer, padded.data(), bytes);
    return status;
}

bool ClhsController::IsLinkConfigRegister(uint64_t address) {
    namespace camera = wire::camera;
    static constexpr uint32_t kRegisters[] = {camera::kDeviceId,         camera::kLinkId,
                                              camera::kNumberOfLinks,    camera::kDeviceConfigurationIndex,
                                              camera::kNumberOfConfigurations, camera::kHotplugRequest,
                                              camera::kReconnectTime,    camera::kFecEnable,
                                              camera::kLinkSpeed};
    return std::find(std::begin(kRegisters), std::end(kRegisters), address) != std::end(kRegisters);
}

// --- Routing and applet ids -----------------------------------------------------

uint32_t ClhsController::Nibble(Map::Register reg, uint32_t port) {
    uint64_t value = 0;
    if (port >= 16 || board_.Read(reg, 0, value) != 0) return 0;
    return uint32_t(value >> (4 * port)) & 0xF;
}

uint32_t ClhsController::GetAppletMasterId(uint32_t port) { return Nibble(Map::kAppletMasterId, port); }
uint32_t ClhsController::GetAppletExtensionId(uint32_t port) { return Nibble(Map::kAppletExtensionId, port); }

// No message is under way on either channel while the routing changes under it.
int32_t ClhsController::SetDiscoverySelect(DiscoverySelect value) {
    std::scoped_lock channels(channel_.Lock(0), channel_.Lock(1));
    return board_.Write(Map::kDiscoverySelectWrite, 0, value.Value());
}

DiscoverySelect ClhsController::GetDiscoverySelect() {
    uint64_t value = 0;
    if (board_.Read(Map::kDiscoverySelectRead, 0, value) != 0) return DiscoverySelect(~0ull);
    return DiscoverySelect(value);
}

DiscoveryInfo *ClhsController::GetDiscoveryInfo(bool update) {
    RecursiveMutex::Guard guard(LinkMutex());
    if (!update) return &info_;
    for (uint32_t port = 0; port < clhs::kPorts; ++port) {
        const uint32_t master = GetAppletMasterId(port);
        const uint32_t extension = GetAppletExtensionId(port);
        info_.SetApPort(port, master == 0 ? DiscoveryInfo::kNone : master, master == 0 ? DiscoveryInfo::kNone : extension);
    }
    info_.SetApTopologyKnown();
    return &info_;
}

// --- Properties -----------------------------------------------------------------

int32_t ClhsController::SetBoardProperty(uint32_t id, uint32_t index, uint32_t value) {
    RecursiveMutex::Guard guard(LinkMutex());
    switch (id) {
        case kFecFlag: fecFlag_ = value != 0; return ERR_NONE;
        case kReadMdio: return ERR_ACCESS_DENIED;
        case kWriteMdio: {
            // The status's low half holds the data of the last read, not an
            // outcome: a write answers 0, or ERR_INTERNAL when the bus failed.
            const uint64_t status = mdio_.Access(wire::kMdioOperationWrite, index >> 24, index >> 16, index & 0xFFFF, value);
            return clhs::ClhsMdio::Failed(status) ? ERR_INTERNAL : ERR_NONE;
        }
        case kLinkDetection:
            if (index >= clhs::kPorts) return ERR_INVALID_PORT;
            if (value != 0) StartLinkThread(index);
            else StopLinkThread(index);
            return ERR_NONE;
        default: return ERR_UNKNOWN_PROPERTY;
    }
}

int32_t ClhsController::GetBoardProperty(uint32_t id, void *value, uint32_t type, uint32_t index) {
    RecursiveMutex::Guard guard(LinkMutex());
    if (id == kWriteMdio) return ERR_ACCESS_DENIED;
    if (id != kFecFlag && id != kReadMdio && id != kLinkStateValue && id != kLinkDetection) return ERR_UNKNOWN_PROPERTY;
    if (type != kTypeU32) return ERR_INVALID_DATA_TYPE;
    uint32_t result = 0;
    switch (id) {
        case kFecFlag: result = fecFlag_ ? 1 : 0; break;
        case kReadMdio:
            result = uint32_t(mdio_.Access(wire::kMdioOperationRead, index >> 24, index >> 16, index & 0xFFFF, 0) & 0xFFFF);
            break;
        case kLinkStateValue:
        case kLinkDetection: {
            if (index >= clhs::kPorts) return ERR_INVALID_PORT;
            std::lock_guard<std::mutex> threads(threadsLock_);
            const auto state = linkThreads_[index] ? linkThreads_[index]->GetState() : clhs::LinkStateControllerThread::kDown;
            result = id == kLinkStateValue ? uint32_t(state) : (state == clhs::LinkStateControllerThread::kUp ? 1 : 0);
            break;
        }
        default: break;
    }
    std::memcpy(value, &result, sizeof result);
    return ERR_NONE;
}

}  // namespace vexo::genicam
