#pragma once
#include <cstdint>

namespace vexo::genicam {

// The board's port routing: two tables of eight 4-bit entries in one 64-bit word.
//   forward table, bits 32..63 (entry i in bits 32+4i..35+4i): the applet port
//     that camera port i feeds;
//   reverse table, bits 0..31 (entry i in bits 4i..4i+3): the camera port that
//     feeds applet port i.
// An entry of 8 or more (0xF: none) routes nothing.
class DiscoverySelect {
public:
    static constexpr uint64_t kIdentity = 0x7654321076543210ull;  // every port straight through
    static constexpr uint64_t kNoRoutes = ~0ull;                  // every entry 0xF
    static constexpr uint32_t kEntryCount = 8;
    static constexpr uint32_t kNoEntry = 0xF;

    constexpr DiscoverySelect() = default;  // identity
    constexpr explicit DiscoverySelect(uint64_t value) : value_(value) {}

    constexpr uint64_t Value() const { return value_; }

    // Entry i of a table; kNoEntry for i of 8 or more.
    uint32_t ForwardEntry(uint32_t index) const;
    uint32_t ReverseEntry(uint32_t index) const;

    // Routes camera port to applet port: forward[cameraPort] := appletPort and
    // reverse[appletPort] := cameraPort, so the tables stay each other's inverse.
    // Does nothing unless both are below 8.
    void Assign(uint32_t cameraPort, uint32_t appletPort);
    // Gives every camera port below `ports` that feeds nothing the lowest
    // applet port below `ports` that nothing feeds yet.
    void AssignFreePorts(uint32_t ports);

    // Maps the set bits 0..7 of a port mask through one table; bit i of the
    // input sets bit entry(i) of the result; entries of 8 or more are skipped.
    uint32_t MapForward(uint32_t portMask) const;
    uint32_t MapReverse(uint32_t portMask) const;

    friend constexpr bool operator==(DiscoverySelect a, DiscoverySelect b) { return a.value_ == b.value_; }

private:
    static constexpr uint32_t kForwardShift = 32;

    uint32_t Entry(uint32_t shift, uint32_t index) const;
    void SetEntry(uint32_t shift, uint32_t index, uint32_t entry);
    uint32_t MapMask(uint32_t shift, uint32_t portMask) const;

    uint64_t value_ = kIdentity;
};

}  // namespace vexo::genicam
