#include "FeatureTree.h"

#include <rapidxml/rapidxml.hpp>

#include <algorithm>
#include <cstring>
#include <set>

namespace noxcam {

namespace {

// Elements nested deeper than this are refused before the recursive parser sees them.
constexpr int kMaxNesting = 64;
// Pointers followed from a feature to the register that holds it.
constexpr int kMaxPointerHops = 16;

using XmlNode = rapidxml::xml_node<char>;

std::string Text(const XmlNode *node) { return node ? std::string(node->value(), node->value_size()) : std::string(); }

std::string ChildText(const XmlNode &node, const char *name) { return Text(node.first_node(name)); }

std::string NameOf(const XmlNode &node) {
    const auto *attribute = node.first_attribute("Name");
    return attribute ? std::string(attribute->value(), attribute->value_size()) : std::string();
}

// Depth of element nesting, skipping comments, processing instructions, declarations, CDATA and
// quoted attribute values. Returns kMaxNesting + 1 as soon as the limit is passed.
int NestingDepth(std::string_view text) {
    int depth = 0, deepest = 0;
    size_t i = 0;
    auto skipPast = [&](std::string_view end) {
        const size_t found = text.find(end, i);
        i = found == std::string_view::npos ? text.size() : found + end.size();
    };
    while (i < text.size()) {
        if (text[i] != '<') {
            ++i;
            continue;
        }
        const std::string_view rest = text.substr(i);
        if (rest.starts_with("<!--")) {
            skipPast("-->");
        } else if (rest.starts_with("<![CDATA[")) {
            skipPast("]]>");
        } else if (rest.starts_with("<?")) {
            skipPast("?>");
        } else if (rest.starts_with("<!")) {
            skipPast(">");
        } else if (rest.starts_with("</")) {
            depth = std::max(0, depth - 1);
            skipPast(">");
        } else {
            // An opening tag: find its end outside quoted values; "/>" closes it at once.
            char quote = 0;
            size_t j = i + 1;
            for (; j < text.size(); ++j) {
                const char c = text[j];
                if (quote) {
                    if (c == quote) quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    break;
                }
            }
            const bool selfClosing = j < text.size() && j > i && text[j - 1] == '/';
            if (!selfClosing && ++depth > deepest) deepest = depth;
            if (deepest > kMaxNesting) return deepest;
            i = j + 1;
        }
    }
    return deepest;
}

FeatureKind KindOf(std::string_view element) {
    static const std::map<std::string_view, FeatureKind> kinds = {
        {"Category", FeatureKind::kCategory},     {"Integer", FeatureKind::kInteger},
        {"IntReg", FeatureKind::kInteger},        {"MaskedIntReg", FeatureKind::kInteger},
        {"IntSwissKnife", FeatureKind::kInteger}, {"IntConverter", FeatureKind::kInteger},
        {"StructEntry", FeatureKind::kInteger},   {"Float", FeatureKind::kFloat},
        {"FloatReg", FeatureKind::kFloat},        {"SwissKnife", FeatureKind::kFloat},
        {"Converter", FeatureKind::kFloat},       {"Boolean", FeatureKind::kBoolean},
        {"Enumeration", FeatureKind::kEnumeration}, {"String", FeatureKind::kString},
        {"StringReg", FeatureKind::kString},      {"Command", FeatureKind::kCommand},
        {"Register", FeatureKind::kRegister},
    };
    const auto found = kinds.find(element);
    return found == kinds.end() ? FeatureKind::kOther : found->second;
}

Visibility VisibilityOf(const std::string &text) {
    if (text == "Expert") return Visibility::kExpert;
    if (text == "Guru") return Visibility::kGuru;
    if (text == "Invisible") return Visibility::kInvisible;
    return Visibility::kBeginner;
}

Access ParseAccess(const std::string &text, Access otherwise) {
    if (text == "RW") return Access::kReadWrite;
    if (text == "RO") return Access::kReadOnly;
    if (text == "WO") return Access::kWriteOnly;
    if (text == "NA") return Access::kNotAvailable;
    if (text == "NI") return Access::kNotImplemented;
    return otherwise;
}

// What both limits allow: reading needs both to read, writing both to write.
Access Narrowest(Access a, Access b) {
    if (a == Access::kNotImplemented || b == Access::kNotImplemented) return Access::kNotImplemented;
    const bool read = (a == Access::kReadOnly || a == Access::kReadWrite) && (b == Access::kReadOnly || b == Access::kReadWrite);
    const bool write = (a == Access::kWriteOnly || a == Access::kReadWrite) && (b == Access::kWriteOnly || b == Access::kReadWrite);
    if (read && write) return Access::kReadWrite;
    if (read) return Access::kReadOnly;
    if (write) return Access::kWriteOnly;
    return Access::kNotAvailable;
}

// One description element as the access resolution needs it.
struct RawNode {
    std::string element;
    std::string accessMode;         // AccessMode of a register
    std::string imposedAccessMode;  // ImposedAccessMode of any node
    std::string pointer;            // pValue, or "" when the value is held in the node itself
    bool literalValue = false;      // a <Value> of its own
};

class DescriptionReader {
public:
    void Read(const XmlNode &parent, int depth) {
        for (const XmlNode *child = parent.first_node(); child; child = child->next_sibling()) {
            if (child->type() != rapidxml::node_element) continue;
            const std::string element(child->name(), child->name_size());
            if (element == "Group" && depth < kMaxNesting) {
                Read(*child, depth + 1);
            } else if (element == "StructReg") {
                ReadStructEntries(*child);
            } else {
                Add(*child, element, ChildText(*child, "AccessMode"));
            }
        }
    }

    std::map<std::string, FeatureNode> Resolve() {
        for (auto &[name, node] : nodes_) node.access = ResolveAccess(name, 0);
        return std::move(nodes_);
    }

private:
    void ReadStructEntries(const XmlNode &structReg) {
        const std::string sharedAccess = ChildText(structReg, "AccessMode");
        for (const XmlNode *entry = structReg.first_node("StructEntry"); entry; entry = entry->next_sibling("StructEntry")) {
            const std::string own = ChildText(*entry, "AccessMode");
            Add(*entry, "StructEntry", own.empty() ? sharedAccess : own);
        }
    }

    void Add(const XmlNode &xml, const std::string &element, const std::string &accessMode) {
        const std::string name = NameOf(xml);
        if (name.empty() || nodes_.count(name)) return;
        FeatureNode node;
        node.name = name;
        node.kind = KindOf(element);
        node.visibility = VisibilityOf(ChildText(xml, "Visibility"));
        node.unit = ChildText(xml, "Unit");
        for (const XmlNode *member = xml.first_node("pFeature"); member; member = member->next_sibling("pFeature"))
            node.features.push_back(Text(member));
        for (const XmlNode *entry = xml.first_node("EnumEntry"); entry; entry = entry->next_sibling("EnumEntry"))
            node.entries.push_back(NameOf(*entry));
        RawNode raw{element, accessMode, ChildText(xml, "ImposedAccessMode"), ChildText(xml, "pValue"),
                    xml.first_node("Value") != nullptr};
        raw_.emplace(name, std::move(raw));
        nodes_.emplace(name, std::move(node));
    }

    // The access a node gives, following its value pointer down to the register that holds it.
    Access ResolveAccess(const std::string &name, int hops) const {
        const auto found = raw_.find(name);
        if (found == raw_.end() || hops > kMaxPointerHops) return Access::kNotImplemented;
        const RawNode &raw = found->second;
        Access access;
        if (raw.element == "Category" || raw.element == "IntSwissKnife" || raw.element == "SwissKnife") {
            access = Access::kReadOnly;
        } else if (!raw.accessMode.empty() || raw.element.ends_with("Reg") || raw.element == "Register" ||
                   raw.element == "StructEntry") {
            access = ParseAccess(raw.accessMode, Access::kReadOnly);  // registers are read-only unless told
        } else if (!raw.pointer.empty()) {
            access = ResolveAccess(raw.pointer, hops + 1);
        } else {
            access = raw.literalValue || raw.element == "Enumeration" ? Access::kReadWrite : Access::kReadOnly;
        }
        if (!raw.imposedAccessMode.empty()) access = Narrowest(access, ParseAccess(raw.imposedAccessMode, access));
        return access;
    }

    std::map<std::string, RawNode> raw_;
    std::map<std::string, FeatureNode> nodes_;
};

std::string FindRoot(const std::map<std::string, FeatureNode> &nodes) {
    const auto root = nodes.find("Root");
    if (root != nodes.end() && root->second.kind == FeatureKind::kCategory) return "Root";
    std::set<std::string> listed;
    for (const auto &[name, node] : nodes)
        if (node.kind == FeatureKind::kCategory) listed.insert(node.features.begin(), node.features.end());
    for (const auto &[name, node] : nodes)
        if (node.kind == FeatureKind::kCategory && !listed.count(name)) return name;
    return {};
}

}  // namespace

std::variant<FeatureTree, std::string> FeatureTree::Parse(std::string_view description) {
    if (NestingDepth(description) > kMaxNesting) return std::string("elements nested too deeply");
    std::vector<char> text(description.begin(), description.end());
    text.push_back('\0');
    rapidxml::xml_document<char> document;
    try {
        document.parse<rapidxml::parse_default>(text.data());
    } catch (const rapidxml::parse_error &error) {
        return std::string("not XML: ") + error.what();
    }
    const XmlNode *root = document.first_node("RegisterDescription");
    if (!root) return std::string("no RegisterDescription element");
    DescriptionReader reader;
    reader.Read(*root, 0);
    FeatureTree tree;
    tree.nodes_ = reader.Resolve();
    tree.root_ = FindRoot(tree.nodes_);
    if (tree.root_.empty()) return std::string("no category");
    return tree;
}

const FeatureNode *FeatureTree::Find(const std::string &name) const {
    const auto found = nodes_.find(name);
    return found == nodes_.end() ? nullptr : &found->second;
}

const char *KindName(FeatureKind kind) {
    switch (kind) {
        case FeatureKind::kCategory: return "Category";
        case FeatureKind::kInteger: return "Integer";
        case FeatureKind::kFloat: return "Float";
        case FeatureKind::kBoolean: return "Boolean";
        case FeatureKind::kEnumeration: return "Enumeration";
        case FeatureKind::kString: return "String";
        case FeatureKind::kCommand: return "Command";
        case FeatureKind::kRegister: return "Register";
        case FeatureKind::kOther: break;
    }
    return "Other";
}

const char *AccessName(Access access) {
    switch (access) {
        case Access::kNotImplemented: return "NI";
        case Access::kNotAvailable: return "NA";
        case Access::kWriteOnly: return "WO";
        case Access::kReadOnly: return "RO";
        case Access::kReadWrite: return "RW";
    }
    return "NI";
}

}  // namespace noxcam
