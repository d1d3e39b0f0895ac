#pragma once
#include <cstdint>

namespace vexo::genicam {

// One port of one side of the board's port model: a physical camera port
// (camera side) or a camera-operator port of the applet (applet side).
struct PortRecord {
    static constexpr uint32_t kNone = 0xFFFFFFFFu;  // "-1": no id, no port

    uint32_t masterId = kNone;         // camera master id / AP master id at this port
    uint32_t extensionId = kNone;      // 0 master link, 1..3 extension links
    uint32_t peerMasterId = kNone;     // ids of the port on the other side
    uint32_t peerExtensionId = kNone;
    uint32_t peerIndex = kNone;        // port index on the other side; kNone: not connected
    uint8_t connected = 0;             // camera side: set by ConnectMasters
    uint8_t masterConnectMark = 0;     // the mark given to ConnectMasters

    bool Holds(uint32_t master, uint32_t extension) const {
        return masterId == master && extensionId == extension;
    }
    bool HasPeer() const { return peerIndex != kNone; }
};

}  // namespace vexo::genicam
