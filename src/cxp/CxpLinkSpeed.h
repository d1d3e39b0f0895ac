#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "board/BoardTypeTable.h"
#include "protocol/CxpBitRates.h"

namespace vexo::genicam::cxp {

// Bit rates of CoaXPress links in Mbit/s per link and their codes in the
// camera's ConnectionConfig registers.

using protocol::cxp::BitRateOfCode;
using protocol::cxp::NeedsHighUplink;
using protocol::cxp::RateCode;

// ConnectionConfig value: (links << 16) | rate code.
uint32_t ConnectionConfig(uint32_t links, uint32_t mbps);
inline uint32_t LinkCountOf(uint32_t connectionConfig) { return connectionConfig >> 16; }
inline uint32_t BitRateOf(uint32_t connectionConfig) { return BitRateOfCode(connectionConfig & 0xFFFF); }

// Rates a board accepts: 0 (automatic), 1250 to 6250; 10000 and 12500 on family C only.
bool IsValidSpeed(uint32_t mbps, BoardFamily family);

// Order in which discovery tries to lock links: the given speed (unless 0),
// 3125, 1250, then 12500 and 10000 on family C, then 6250, 5000, 2500.
std::vector<uint32_t> SpeedDetectCandidates(uint32_t speed, BoardFamily family);
// Order in which locking a camera's links tries speeds: the preferred one
// (unless 0), then 12500 and 10000 on family C, then 6250 down to 1250.
std::vector<uint32_t> LockLinksCandidates(uint32_t preferred, BoardFamily family);
// Speeds the final negotiation offers a camera: 12500 and 10000 only on
// family C with a camera of protocol revision 2.0 or later, then 6250 down to 1250.
std::vector<uint32_t> NegotiationCandidates(BoardFamily family, uint32_t protocolRevision);

// A rate in Gbit/s as a short decimal text: 3125 -> "3.125", 10000 -> "10".
std::string GbpsText(uint32_t mbps);

}  // namespace vexo::genicam::cxp
