#include "cxp/CxpLinkSpeed.h"

#include <algorithm>

#include "protocol/CxpBootstrap.h"

namespace vexo::genicam::cxp {

namespace {

constexpr uint32_t kHighSpeedThreshold = 10000;
constexpr uint32_t kUnknownRevision = 0xFFFFFFFFu;

// Appends the rates that are not in the list yet.
void AppendNew(std::vector<uint32_t> &list, std::initializer_list<uint32_t> rates) {
    for (uint32_t rate : rates)
        if (std::find(list.begin(), list.end(), rate) == list.end()) list.push_back(rate);
}

}  // namespace

uint32_t ConnectionConfig(uint32_t links, uint32_t mbps) { return links << 16 | RateCode(mbps); }

bool IsValidSpeed(uint32_t mbps, BoardFamily family) {
    if (mbps == 0) return true;
    if (mbps >= kHighSpeedThreshold && family != BoardFamily::kC) return false;
    return RateCode(mbps) != 0;
}

std::vector<uint32_t> SpeedDetectCandidates(uint32_t speed, BoardFamily family) {
    std::vector<uint32_t> list;
    if (speed != 0) list.push_back(speed);
    AppendNew(list, {3125, 1250});
    if (family == BoardFamily::kC) AppendNew(list, {12500, 10000});
    AppendNew(list, {6250, 5000, 2500});
    return list;
}

std::vector<uint32_t> LockLinksCandidates(uint32_t preferred, BoardFamily family) {
    std::vector<uint32_t> list;
    if (preferred != 0) list.push_back(preferred);
    if (family == BoardFamily::kC) AppendNew(list, {12500, 10000});
    AppendNew(list, {6250, 5000, 3125, 2500, 1250});
    return list;
}

std::vector<uint32_t> NegotiationCandidates(BoardFamily family, uint32_t protocolRevision) {
    std::vector<uint32_t> list;
    const bool revision2 = protocolRevision != kUnknownRevision && protocolRevision >= protocol::cxp::kRevision2_0;
    if (family == BoardFamily::kC && revision2)
        list = {12500, 10000};
    AppendNew(list, {6250, 5000, 3125, 2500, 1250});
    return list;
}

std::string GbpsText(uint32_t mbps) {
    std::string text = std::to_string(mbps / 1000);
    uint32_t fraction = mbps % 1000;
    if (fraction == 0) return text;
    std::string digits = std::to_string(fraction);
    digits.insert(0, 3 - digits.size(), '0');
    while (digits.back() == '0') digits.pop_back();
    return text + "." + digits;
}

}  // namespace vexo::genicam::cxp
