#include "plex/CxpLinkConfiguration.h"

#include <rapidxml/rapidxml.hpp>

#include <algorithm>
#include <bitset>
#include <charconv>
#include <cstring>
#include <fstream>
#include <new>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace vexo::core::plex {

namespace {

using Node = rapidxml::xml_node<char>;

constexpr uint32_t kSpeeds[] = {1250, 2500, 3125, 5000, 6250, 10000, 12500};

[[noreturn]] void Fail(const std::string &message) { throw std::runtime_error(message); }

std::optional<uint32_t> ParseUnsigned(std::string_view text) {
    uint32_t value = 0;
    const char *end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, 10);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
    return value;
}

std::string_view NameOf(const Node &node) { return {node.name(), node.name_size()}; }

// The attribute's text, or nothing when the element lacks it.
std::optional<std::string_view> Attribute(const Node &node, const char *name) {
    const rapidxml::xml_attribute<char> *attribute = node.first_attribute(name);
    if (attribute == nullptr) return std::nullopt;
    return std::string_view(attribute->value(), attribute->value_size());
}

// The text as an attribute value between double quotes.
std::string EscapedAttribute(const std::string &text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

// Reads a required unsigned attribute, with the messages the user sees.
uint32_t RequiredUnsigned(const Node &node, const char *attribute, const std::string &element,
                          const std::string &fileName) {
    const std::optional<std::string_view> text = Attribute(node, attribute);
    if (!text)
        Fail("Attribute '" + std::string(attribute) + "' not found in <" + element + "> of XML file '" + fileName +
             "'");
    const std::optional<uint32_t> value = ParseUnsigned(*text);
    if (!value)
        Fail("Illegal value of attribute '" + std::string(attribute) + "' in <" + element + "> of XML file '" +
             fileName + "': " + std::string(*text));
    return *value;
}

std::optional<uint32_t> OptionalUnsigned(const Node &node, const char *attribute, const std::string &element,
                                         const std::string &fileName) {
    if (!Attribute(node, attribute)) return std::nullopt;
    return RequiredUnsigned(node, attribute, element, fileName);
}

bool IsTrueText(std::string_view text) { return text == "1" || text == "true" || text == "yes"; }

bool IsElementNamed(const Node &node, std::string_view name) {
    return node.type() == rapidxml::node_element && NameOf(node) == name;
}

uint32_t CountChildElements(const Node &parent, std::string_view name) {
    uint32_t count = 0;
    for (const Node *child = parent.first_node(); child != nullptr; child = child->next_sibling())
        count += IsElementNamed(*child, name);
    return count;
}

// The deepest element nesting of the text, counted generously: every "<" that
// does not close, declare or comment opens a level. The parser recurses per
// level, so a hostile file must not reach it.
uint32_t NestingDepth(std::string_view text) {
    uint32_t depth = 0, deepest = 0;
    char quote = 0;
    bool inTag = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote != 0) {
            if (c == quote) quote = 0;
        } else if (inTag) {
            if (c == '"' || c == '\'') quote = c;
            else if (c == '>') {
                inTag = false;
                if (i > 0 && text[i - 1] == '/' && depth > 0) --depth;
            }
        } else if (c == '<' && i + 1 < text.size()) {
            const char next = text[i + 1];
            if (next == '/') {
                if (depth > 0) --depth;
            } else if (next != '!' && next != '?') {
                inTag = true;
                deepest = std::max(deepest, ++depth);
            }
        }
    }
    return deepest;
}

// The whole file, at most `limit` + 1 bytes of it, with a terminating zero.
std::vector<char> ReadBounded(std::ifstream &file, size_t limit, const std::string &fileName) {
    std::vector<char> text;
    try {
        constexpr size_t kChunk = 64 * 1024;
        size_t size = 0;
        while (file && size <= limit) {
            text.resize(size + kChunk);
            file.read(text.data() + size, static_cast<std::streamsize>(kChunk));
            size += static_cast<size_t>(file.gcount());
        }
        text.resize(size + 1);
        text[size] = '\0';
    } catch (const std::bad_alloc &) {
        Fail("Allocating memory for reading file '" + fileName + "' failed!");
    }
    return text;
}

}  // namespace

CxpLinkConfiguration::LinkGroup::LinkGroup() { link.fill({kNoIndex, kNoIndex}); }

void CxpLinkConfiguration::SetGroupSerialNumber(uint32_t group, const std::string &serial) {
    std::string kept = serial.substr(0, kMaxSerialLength);
    // Control characters would not survive the file; they are not part of any serial number.
    for (char &c : kept)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    Group(group).serialNumber = std::move(kept);
}

const std::string &CxpLinkConfiguration::GetGroupSerialNumber(uint32_t group) const {
    return Group(group).serialNumber;
}

CxpLinkConfiguration::CxpLinkConfiguration(const std::string &technology) : record_(std::make_shared<Record>()) {
    record_->technology = technology;
}

void CxpLinkConfiguration::Clear() {
    record_->links = 0;
    record_->linkgroups = 0;
}

void CxpLinkConfiguration::SetLinkCount(uint32_t links) { record_->links = links; }
uint32_t CxpLinkConfiguration::GetLinkCount() const { return record_->links; }

void CxpLinkConfiguration::SetLinkGroupCount(uint32_t groups) {
    if (groups <= kMaxLinkGroups) record_->linkgroups = groups;
}
uint32_t CxpLinkConfiguration::GetLinkGroupCount() const { return record_->linkgroups; }

CxpLinkConfiguration::LinkGroup &CxpLinkConfiguration::Group(uint32_t group) {
    if (group >= record_->linkgroups) Fail("link group index out of bounds.");
    return record_->groups[group];
}

const CxpLinkConfiguration::LinkGroup &CxpLinkConfiguration::Group(uint32_t group) const {
    if (group >= record_->linkgroups) Fail("link group index out of bounds.");
    return record_->groups[group];
}

namespace {
void CheckLinkIndex(uint32_t link) {
    if (link >= CxpLinkConfiguration::kMaxLinks) Fail("link index out of bounds.");
}
}  // namespace

void CxpLinkConfiguration::SetGroupLinkCount(uint32_t group, uint32_t links) {
    LinkGroup &target = Group(group);
    if (links <= kMaxLinks) target.linkCount = links;
}
uint32_t CxpLinkConfiguration::GetGroupLinkCount(uint32_t group) const { return Group(group).linkCount; }

void CxpLinkConfiguration::SetGroupMasterPort(uint32_t group, uint32_t port) { Group(group).masterPort = port; }
uint32_t CxpLinkConfiguration::GetGroupMasterPort(uint32_t group) const { return Group(group).masterPort; }

void CxpLinkConfiguration::SetGroupMasterId(uint32_t group, uint32_t masterId) { Group(group).masterId = masterId; }
uint32_t CxpLinkConfiguration::GetGroupMasterId(uint32_t group) const { return Group(group).masterId; }

void CxpLinkConfiguration::SetGroupSpeed(uint32_t group, uint32_t speed) { Group(group).speed = speed; }
uint32_t CxpLinkConfiguration::GetGroupSpeed(uint32_t group) const { return Group(group).speed; }

void CxpLinkConfiguration::SetGroupStreamPacketSize(uint32_t group, uint32_t bytes) {
    Group(group).streamPacketSize = bytes;
}
uint32_t CxpLinkConfiguration::GetGroupStreamPacketSize(uint32_t group) const {
    return Group(group).streamPacketSize;
}

CxpLinkConfiguration::LinkPorts &CxpLinkConfiguration::Link(uint32_t group, uint32_t link) {
    LinkGroup &target = Group(group);
    CheckLinkIndex(link);
    return target.link[link];
}

const CxpLinkConfiguration::LinkPorts &CxpLinkConfiguration::Link(uint32_t group, uint32_t link) const {
    const LinkGroup &source = Group(group);
    CheckLinkIndex(link);
    return source.link[link];
}

void CxpLinkConfiguration::SetLinkPhyIndex(uint32_t group, uint32_t link, uint32_t port) { Link(group, link)[0] = port; }
uint32_t CxpLinkConfiguration::GetLinkPhyIndex(uint32_t group, uint32_t link) const { return Link(group, link)[0]; }
void CxpLinkConfiguration::SetLinkApIndex(uint32_t group, uint32_t link, uint32_t port) { Link(group, link)[1] = port; }
uint32_t CxpLinkConfiguration::GetLinkApIndex(uint32_t group, uint32_t link) const { return Link(group, link)[1]; }

void CxpLinkConfiguration::SetFileName(const std::string &fileName) { record_->fileName = fileName; }
const std::string &CxpLinkConfiguration::GetFileName() const { return record_->fileName; }
const std::string &CxpLinkConfiguration::GetTechnology() const { return record_->technology; }

std::string CxpLinkConfiguration::RootElement() const {
    const std::string &technology = record_->technology;
    if (technology == "cxp") return "cxpconfiguration";
    if (technology == "clhs") return "clhsconfiguration";
    if (technology == "cl") return "clconfiguration";
    return {};
}

std::string CxpLinkConfiguration::SpeedText(uint32_t speed) {
    const bool known = std::find(std::begin(kSpeeds), std::end(kSpeeds), speed) != std::end(kSpeeds);
    return known ? std::to_string(speed) : std::string();
}

uint32_t CxpLinkConfiguration::SpeedFromText(const std::string &text) {
    for (uint32_t speed : kSpeeds)
        if (text == std::to_string(speed)) return speed;
    return 0;
}

// --- Files -------------------------------------------------------------------

void CxpLinkConfiguration::Load() {
    if (record_->fileName.empty()) return;
    try {
        ReadFile(record_->fileName);
    } catch (const std::exception &) {
        // A damaged file leaves what was read before the damage.
    }
}

bool CxpLinkConfiguration::Save() const {
    if (record_->fileName.empty()) return false;
    try {
        std::ofstream file(record_->fileName, std::ios::out | std::ios::trunc);
        if (!file) Fail("Error opening file '" + record_->fileName + "' for writing!");
        Write(file);
        file.close();
        // A file that did not reach the disk whole is no saved layout.
        return !file.fail();
    } catch (const std::exception &) {
        return false;
    }
}

void CxpLinkConfiguration::ReadFile(const std::string &fileName) {
    std::ifstream file(fileName, std::ios::in | std::ios::binary);
    if (!file) Fail("Error opening file '" + fileName + "' for reading!");
    std::vector<char> text = ReadBounded(file, kMaxFileBytes, fileName);
    ReadMutable(text.data(), text.size() - 1, fileName);
}

void CxpLinkConfiguration::ReadText(const std::string &text) { Read(text.c_str(), "<buffer>"); }

void CxpLinkConfiguration::Read(const char *buffer, const std::string &name) {
    if (buffer == nullptr) Fail("XML file is empty: '" + name + "'");
    // The parser works in place, so it gets a copy of at most one byte more than we accept.
    const size_t size = strnlen(buffer, kMaxFileBytes + 1);
    std::vector<char> text(buffer, buffer + size);
    text.push_back('\0');
    ReadMutable(text.data(), size, name);
}

// --- Writing -------------------------------------------------------------------

void CxpLinkConfiguration::Write(std::ostream &out) const {
    const Record &record = *record_;
    const std::string root = RootElement();
    if (!root.empty())
        out << '<' << root << " links=\"" << record.links << "\" linkgroups=\"" << record.linkgroups << "\">\n";
    for (uint32_t g = 0; g < record.linkgroups; ++g) {
        const LinkGroup &group = record.groups[g];
        out << "\t<linkgroup masterId=\"" << group.masterId << "\" speed=\"" << SpeedText(group.speed)
            << "\" streampacketsize=\"" << group.streamPacketSize << '"';
        if (!group.serialNumber.empty()) out << " serialNumber=\"" << EscapedAttribute(group.serialNumber) << '"';
        out << ">\n";
        const uint32_t master = MasterLinkIndex(group);
        uint32_t written = 0;
        for (uint32_t l = 0; l < kMaxLinks && written < group.linkCount; ++l) {
            const auto [phyIndex, apIndex] = group.link[l];
            if (phyIndex == kNoIndex || apIndex == kNoIndex) continue;
            out << "\t\t<link phyIndex=\"" << phyIndex << "\" apIndex=\"" << apIndex << "\" linkIndex=\"" << l
                << (l == master ? "\" isMaster=\"true\"/>\n" : "\"/>\n");
            ++written;
        }
        out << "\t</linkgroup>\n";
    }
    if (!root.empty()) out << "</" << root << ">\n";
}

// --- Reading -------------------------------------------------------------------

void CxpLinkConfiguration::ReadMutable(char *text, size_t size, const std::string &name) {
    if (size == 0) Fail("XML file is empty: '" + name + "'");
    if (size > kMaxFileBytes) Fail("XML file is too large: '" + name + "'");
    if (NestingDepth({text, size}) > kMaxNesting) Fail("XML file is nested too deeply: '" + name + "'");

    rapidxml::xml_document<char> document;
    try {
        document.parse<rapidxml::parse_default>(text);
    } catch (const rapidxml::parse_error &error) {
        Fail("Error parsing XML file '" + name + "': " + error.what());
    }

    const Node *root = document.first_node();
    const std::string rootName = RootElement();
    const std::string rootText = root != nullptr ? std::string(NameOf(*root)) : std::string();
    if (root == nullptr || (!rootName.empty() && rootText != rootName))
        Fail("Illegal root node found in XML file '" + name + "': " + rootText);
    const std::string element = rootName.empty() ? rootText : rootName;

    const uint32_t links = RequiredUnsigned(*root, "links", element, name);
    const uint32_t linkgroups = RequiredUnsigned(*root, "linkgroups", element, name);
    Clear();
    SetLinkCount(links);
    SetLinkGroupCount(linkgroups);
    uint32_t complete = 0;
    try {
        if (links > kMaxLinks || linkgroups > kMaxLinkGroups)
            Fail("No more than 4 physical links and linkgroups allowed!");
        for (const Node *group = root->first_node(); group != nullptr; group = group->next_sibling()) {
            if (!IsElementNamed(*group, "linkgroup")) continue;
            ReadGroup(*group, complete, name);
            ++complete;
        }
    } catch (const std::exception &) {
        // Only whole groups count as read: half a camera would be set up wrongly.
        record_->linkgroups = std::min(complete, record_->linkgroups);
        throw;
    }
}

void CxpLinkConfiguration::ReadGroup(const rapidxml::xml_node<char> &group, uint32_t g, const std::string &name) {
    Group(g);  // a group beyond the declared count stops here

    uint32_t masterId = OptionalUnsigned(group, "masterId", "linkgroup", name).value_or(0);
    const uint32_t speed = SpeedFromText(std::string(Attribute(group, "speed").value_or("")));
    if (speed != 0) SetGroupSpeed(g, speed);
    const uint32_t packetSize = ParseUnsigned(Attribute(group, "streampacketsize").value_or("")).value_or(0);
    if (packetSize != 0) SetGroupStreamPacketSize(g, packetSize);
    SetGroupSerialNumber(g, std::string(Attribute(group, "serialNumber").value_or("")));

    const uint32_t linkCount = CountChildElements(group, "link");
    if (linkCount > kMaxLinks) Fail("No more than 4 links per linkgroup allowed!");
    SetGroupLinkCount(g, linkCount);

    uint32_t running = 0;
    std::bitset<kMaxLinks> stored;
    for (const Node *link = group.first_node(); link != nullptr; link = link->next_sibling()) {
        if (!IsElementNamed(*link, "link")) continue;
        const uint32_t phyIndex = RequiredUnsigned(*link, "phyIndex", "link", name);
        const uint32_t apIndex = RequiredUnsigned(*link, "apIndex", "link", name);
        const uint32_t linkIndex = OptionalUnsigned(*link, "linkIndex", "link", name).value_or(running);
        const bool isMaster = IsTrueText(Attribute(*link, "isMaster").value_or(""));
        // A second link on one index would silently drop the first, perhaps the
        // master, and leave a camera whose link count and ports disagree.
        if (linkIndex < kMaxLinks && stored.test(linkIndex))
            Fail("Link index " + std::to_string(linkIndex) + " given twice in <linkgroup> of XML file '" + name + "'");
        if (linkIndex < kMaxLinks) stored.set(linkIndex);
        SetLinkPhyIndex(g, linkIndex, phyIndex);
        SetLinkApIndex(g, linkIndex, apIndex);
        if (isMaster) {
            SetGroupMasterPort(g, phyIndex);
            if (masterId == 0) masterId = phyIndex + 1;
        }
        running = linkIndex + 1;
    }
    if (GetGroupMasterPort(g) == kNoIndex) SetGroupMasterPort(g, FirstLinkPhyIndex(Group(g)));
    // A group naming no master id gets the one its master link would give, so saving keeps its meaning.
    if (masterId == 0 && GetGroupMasterPort(g) != kNoIndex) masterId = GetGroupMasterPort(g) + 1;
    SetGroupMasterId(g, masterId);
}

uint32_t CxpLinkConfiguration::FirstLinkPhyIndex(const LinkGroup &group) {
    for (const auto &[phyIndex, apIndex] : group.link)
        if (phyIndex != kNoIndex) return phyIndex;
    return kNoIndex;
}

// The link on the master port carries isMaster, wherever it stands; link 0 when none is on it.
uint32_t CxpLinkConfiguration::MasterLinkIndex(const LinkGroup &group) {
    for (uint32_t l = 0; l < kMaxLinks; ++l)
        if (group.masterPort != kNoIndex && group.link[l][0] == group.masterPort) return l;
    return 0;
}

}  // namespace vexo::core::plex
