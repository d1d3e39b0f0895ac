#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

namespace rapidxml {
template <class Ch> class xml_node;
}

namespace vexo::core::plex {

// The link layout of a board's cameras, as kept in a link configuration file:
// per camera (link group) its links with their physical and applet ports, its
// master id, link speed and stream packet size. Copies share one record.
//
// Every failure is a std::runtime_error with a message meant for the user.
// Per-group operations throw "link group index out of bounds." for a group
// index not below the link group count; per-link ones "link index out of
// bounds." for a link index of 4 or more.
class CxpLinkConfiguration {
public:
    static constexpr uint32_t kMaxLinkGroups = 4;
    static constexpr uint32_t kMaxLinks = 4;
    static constexpr uint32_t kNoIndex = 0xFFFFFFFFu;
    // A layout of four cameras takes well under a kilobyte; anything far
    // larger is not ours and is refused before it is parsed.
    static constexpr size_t kMaxFileBytes = 1u << 20;
    static constexpr uint32_t kMaxNesting = 16;

    // "cxp", "clhs" or "cl"; selects the root element. Another text writes no
    // root lines and reads without a root check.
    explicit CxpLinkConfiguration(const std::string &technology);

    // Link and group counts to 0; the groups keep their contents.
    void Clear();

    void SetLinkCount(uint32_t links);
    uint32_t GetLinkCount() const;
    void SetLinkGroupCount(uint32_t groups);  // 5 or more is ignored
    uint32_t GetLinkGroupCount() const;

    void SetGroupLinkCount(uint32_t group, uint32_t links);  // 5 or more is ignored
    uint32_t GetGroupLinkCount(uint32_t group) const;
    void SetGroupMasterPort(uint32_t group, uint32_t port);
    uint32_t GetGroupMasterPort(uint32_t group) const;
    void SetGroupMasterId(uint32_t group, uint32_t masterId);
    uint32_t GetGroupMasterId(uint32_t group) const;
    void SetGroupSpeed(uint32_t group, uint32_t speed);
    uint32_t GetGroupSpeed(uint32_t group) const;
    void SetGroupStreamPacketSize(uint32_t group, uint32_t bytes);
    uint32_t GetGroupStreamPacketSize(uint32_t group) const;

    // The serial number of the camera the group was saved from; "" when unknown. Written as the
    // group's serialNumber attribute only when set, so a file without serials keeps its layout.
    // Longer texts are cut to kMaxSerialLength.
    static constexpr size_t kMaxSerialLength = 64;
    void SetGroupSerialNumber(uint32_t group, const std::string &serial);
    const std::string &GetGroupSerialNumber(uint32_t group) const;

    void SetLinkPhyIndex(uint32_t group, uint32_t link, uint32_t port);
    uint32_t GetLinkPhyIndex(uint32_t group, uint32_t link) const;
    void SetLinkApIndex(uint32_t group, uint32_t link, uint32_t port);
    uint32_t GetLinkApIndex(uint32_t group, uint32_t link) const;

    void SetFileName(const std::string &fileName);
    const std::string &GetFileName() const;
    const std::string &GetTechnology() const;

    // Reads the named file when a name is set; errors in it are dropped, and
    // what was read before the error stays.
    void Load();
    // Writes the named file; false without a name or when writing failed.
    bool Save() const;

    // The file text, with LF line ends. isMaster marks the link on the
    // group's master port (link 0 when no link is on it).
    void Write(std::ostream &out) const;
    // Replaces counts and groups by those of a file's text (zero-terminated);
    // `name` appears in the messages. After an error the link group count
    // covers the groups read whole before it. Without an isMaster link the
    // first link is the master; without a masterId the group takes master
    // port + 1, as an isMaster link gives it. A link index given twice in a
    // group is refused.
    void Read(const char *buffer, const std::string &name);
    void ReadFile(const std::string &fileName);
    void ReadText(const std::string &text);

    // Link speeds in Mbit/s as the file writes them: one of the seven bit
    // rates, anything else as the empty text; text that names none reads 0.
    static std::string SpeedText(uint32_t speed);
    static uint32_t SpeedFromText(const std::string &text);

private:
    using LinkPorts = std::array<uint32_t, 2>;  // (phyIndex, apIndex)
    struct LinkGroup {
        std::array<LinkPorts, kMaxLinks> link;
        uint32_t linkCount = 0;
        uint32_t masterPort = kNoIndex;
        uint32_t masterId = 0;
        uint32_t speed = 1250;
        uint32_t streamPacketSize = 4096;
        std::string serialNumber;
        LinkGroup();
    };
    struct Record {
        uint32_t links = 0;
        uint32_t linkgroups = 0;
        std::array<LinkGroup, kMaxLinkGroups> groups;
        std::string fileName;
        std::string technology;
    };

    LinkGroup &Group(uint32_t group);
    const LinkGroup &Group(uint32_t group) const;
    LinkPorts &Link(uint32_t group, uint32_t link);
    const LinkPorts &Link(uint32_t group, uint32_t link) const;
    std::string RootElement() const;
    void ReadMutable(char *text, size_t size, const std::string &name);
    void ReadGroup(const rapidxml::xml_node<char> &group, uint32_t g, const std::string &name);
    static uint32_t FirstLinkPhyIndex(const LinkGroup &group);
    static uint32_t MasterLinkIndex(const LinkGroup &group);

    std::shared_ptr<Record> record_;
};

}  // namespace vexo::core::plex
