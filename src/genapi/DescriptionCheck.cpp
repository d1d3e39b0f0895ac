#include "genapi/DescriptionCheck.h"

#include <libxml/parser.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstring>
#include <exception>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "genapi/GenericException.h"
#include "genapi/SilentXmlErrors.h"

namespace vexo::genicam::genapi {
namespace {

using std::string_view;

// What a node kind answers when another node refers to it.
enum Answers : unsigned { kNothing = 0, kNumber = 1, kText = 2, kPort = 4 };

// The node kinds the interpreter serves. Register kinds carry an address and
// a length; integer registers hold at most 8 bytes, float registers 4 or 8.
enum class RegisterKind { None, Block, Integer, Float };

struct KindRule {
    string_view kind;
    unsigned answers;
    RegisterKind registerKind;
    Cachable defaultCachable;
};

constexpr KindRule kKinds[] = {
    {"Category", kNothing, RegisterKind::None, Cachable::NoCache},
    {"Integer", kNumber, RegisterKind::None, Cachable::NoCache},
    {"Float", kNumber, RegisterKind::None, Cachable::NoCache},
    {"Boolean", kNumber, RegisterKind::None, Cachable::NoCache},
    {"Command", kNothing, RegisterKind::None, Cachable::NoCache},
    {"Enumeration", kNumber, RegisterKind::None, Cachable::NoCache},
    {"EnumEntry", kNothing, RegisterKind::None, Cachable::NoCache},
    {"String", kText, RegisterKind::None, Cachable::NoCache},
    {"Converter", kNumber, RegisterKind::None, Cachable::NoCache},
    {"IntConverter", kNumber, RegisterKind::None, Cachable::NoCache},
    {"SwissKnife", kNumber, RegisterKind::None, Cachable::NoCache},
    {"IntSwissKnife", kNumber, RegisterKind::None, Cachable::NoCache},
    {"StructEntry", kNumber, RegisterKind::None, Cachable::WriteThrough},
    {"Port", kPort, RegisterKind::None, Cachable::NoCache},
    {"IntReg", kNumber, RegisterKind::Integer, Cachable::WriteThrough},
    {"MaskedIntReg", kNumber, RegisterKind::Integer, Cachable::WriteThrough},
    {"FloatReg", kNumber, RegisterKind::Float, Cachable::WriteThrough},
    {"StringReg", kText, RegisterKind::Block, Cachable::WriteThrough},
    {"Register", kNothing, RegisterKind::Block, Cachable::WriteThrough},
    {"StructReg", kNothing, RegisterKind::Integer, Cachable::WriteThrough},
};

// The references the interpreter follows, and what their target must answer.
struct ReferenceRule {
    string_view element;
    unsigned needs;  // kNothing: any node
};

constexpr ReferenceRule kReferences[] = {
    {"pFeature", kNothing},       {"pSelected", kNothing},     {"pInvalidator", kNothing},
    {"pPort", kPort},             {"pValue", kNumber},         {"pMin", kNumber},
    {"pMax", kNumber},            {"pInc", kNumber},           {"pIsImplemented", kNumber},
    {"pIsAvailable", kNumber},    {"pIsLocked", kNumber},      {"pAddress", kNumber},
    {"pIndex", kNumber},          {"pLength", kNumber},        {"pVariable", kNumber},
    {"pValueIndexed", kNumber},   {"pValueDefault", kNumber},  {"pCommandValue", kNumber},
};

// What a node says to people. The layer offers the first group (feature
// information); the interpreter is not given the rest, as it makes objects of
// every element. A layer that offers more must move them to the first group.
constexpr string_view kPresentationOffered[] = {"ToolTip",    "Description",    "DisplayName",
                                                "Visibility", "Representation", "Unit"};
constexpr string_view kPresentationDropped[] = {"DocuURL", "IsDeprecated", "DisplayNotation", "DisplayPrecision"};

// Elements whose text is a number the check bounds.
constexpr string_view kBoundedNumbers[] = {"Length", "Address", "LSB", "MSB", "Bit", "PollingTime"};

// What the check knows of an element name, found with one look-up: every
// element of a description asks, and a megabyte holds tens of thousands.
struct ElementTraits {
    const KindRule *kind = nullptr;
    const ReferenceRule *reference = nullptr;
    bool presentation = false;
    bool presentationOffered = false;
    bool boundedNumber = false;
};

const ElementTraits &TraitsOf(string_view name) {
    static const std::unordered_map<string_view, ElementTraits> traits = [] {
        std::unordered_map<string_view, ElementTraits> table;
        for (const KindRule &rule : kKinds) table[rule.kind].kind = &rule;
        for (const ReferenceRule &rule : kReferences) table[rule.element].reference = &rule;
        for (string_view element : kPresentationOffered) {
            table[element].presentation = true;
            table[element].presentationOffered = true;
        }
        for (string_view element : kPresentationDropped) table[element].presentation = true;
        for (string_view element : kBoundedNumbers) table[element].boundedNumber = true;
        return table;
    }();
    static const ElementTraits none;
    const auto found = traits.find(name);
    return found == traits.end() ? none : found->second;
}

const KindRule *RuleOf(string_view kind) { return TraitsOf(kind).kind; }
const ReferenceRule *ReferenceRuleOf(string_view element) { return TraitsOf(element).reference; }
bool IsPresentation(string_view element) { return TraitsOf(element).presentation; }
bool IsPresentationOffered(string_view element) { return TraitsOf(element).presentationOffered; }
bool IsBoundedNumber(string_view element) { return TraitsOf(element).boundedNumber; }

string_view Trimmed(string_view text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// A number read the way the interpreter reads it (C's rules: 0x hexadecimal,
// a leading 0 octal, decimal otherwise, with a sign), but whole: where the
// interpreter would stop early ("08" is 0 to it), the number is refused.
std::optional<int64_t> ParseNumber(string_view text) {
    text = Trimmed(text);
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    } else if (text.size() > 1 && text[0] == '0') {
        base = 8;
    }
    uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (magnitude > static_cast<uint64_t>(INT64_MAX)) return std::nullopt;
    const auto value = static_cast<int64_t>(magnitude);
    return negative ? -value : value;
}

[[noreturn]] void Refuse(const std::string &reason) {
    throw GenICam::InvalidDescriptionException("Camera description refused: " + reason, __FILE__, __LINE__);
}

std::string Quoted(string_view text) {
    constexpr size_t kShown = 64;  // a hostile name may be megabytes long
    std::string quoted(1, '\'');
    quoted.append(text.substr(0, kShown));
    quoted.append(text.size() > kShown ? "...'" : "'");
    return quoted;
}

std::string Hex(uint64_t value) {
    char text[24];
    const auto result = std::to_chars(text, text + sizeof text, value, 16);
    return "0x" + std::string(text, result.ptr);
}

// What an open element is to the check.
// Presentation: a text for people, passed on as it is.
enum class Role { Container, Node, Property, Presentation, Skipped };

struct OpenElement {
    OpenElement(string_view elementName, Role elementRole) : name(elementName), role(elementRole) {}

    std::string name;
    const xmlChar *prefix = nullptr;
    Role role;
    const KindRule *rule = nullptr;  // nodes only
    size_t node = 0;                 // the node it is (Node) or belongs to (Property)
    std::string text;                // Property and Presentation only
};

// One element as the parser reports it.
struct ElementEvent {
    string_view name;
    const xmlChar *prefix;
    int namespaceCount;
    const xmlChar **namespaces;  // prefix, URI pairs
    int attributeCount;
    const xmlChar **attributes;  // fives: name, prefix, URI, value start, value end
};

// The description as the interpreter needs it: no blanks between elements,
// no comments, no presentation the layer does not offer, nothing it would skip. The interpreter makes
// an object of every element and every run of text, so this halves its work
// on a description laid out for people.
class CompactWriter {
public:
    explicit CompactWriter(size_t expectedSize) {
        text_.reserve(expectedSize);
        text_ = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
    }

    void Open(const ElementEvent &element) {
        text_ += '<';
        AppendName(element.prefix, element.name);
        for (int i = 0; i < element.namespaceCount; ++i) {
            const auto *prefix = element.namespaces[2 * i];
            text_ += prefix ? " xmlns:" + std::string(reinterpret_cast<const char *>(prefix)) : std::string(" xmlns");
            AppendQuoted(reinterpret_cast<const char *>(element.namespaces[2 * i + 1]));
        }
        for (int i = 0; i < element.attributeCount; ++i) {
            const xmlChar **attribute = element.attributes + 5 * i;
            text_ += ' ';
            AppendName(attribute[1], reinterpret_cast<const char *>(attribute[0]));
            AppendQuoted(string_view(reinterpret_cast<const char *>(attribute[3]),
                                     static_cast<size_t>(attribute[4] - attribute[3])));
        }
        text_ += '>';
    }

    void Close(const xmlChar *prefix, string_view name, string_view content) {
        AppendEscaped(content, false);
        text_ += "</";
        AppendName(prefix, name);
        text_ += '>';
    }

    std::string Take() { return std::move(text_); }

private:
    void AppendName(const xmlChar *prefix, string_view name) {
        if (prefix != nullptr) (text_ += reinterpret_cast<const char *>(prefix)) += ':';
        text_ += name;
    }
    void AppendQuoted(string_view value) {
        text_ += "=\"";
        AppendEscaped(value, true);
        text_ += '"';
    }
    void AppendEscaped(string_view value, bool attribute) {
        for (char c : value) {
            switch (c) {
                case '&': text_ += "&amp;"; break;
                case '<': text_ += "&lt;"; break;
                case '>': text_ += "&gt;"; break;
                case '"': text_ += attribute ? "&quot;" : "\""; break;
                case '\t': text_ += attribute ? "&#9;" : "\t"; break;
                case '\n': text_ += attribute ? "&#10;" : "\n"; break;
                case '\r': text_ += "&#13;"; break;
                default: text_ += c;
            }
        }
    }

    std::string text_;
};

struct PendingReference {
    size_t node;
    std::string element;
    std::string target;
};

// Collects the facts of a description from the parser's events, refusing on
// the first broken rule it can see while the text streams by.
class DescriptionScanner {
public:
    explicit DescriptionScanner(size_t size) : writer_(size) {}

    void StartElement(const ElementEvent &event) {
        if (open_.size() >= static_cast<size_t>(DescriptionCheck::kMaxNesting))
            Refuse("elements are nested deeper than " + std::to_string(DescriptionCheck::kMaxNesting) + " levels");
        if (open_.empty()) {
            if (event.name != "RegisterDescription")
                Refuse("the root element is " + Quoted(event.name) + ", not RegisterDescription");
            open_.emplace_back(event.name, Role::Container);
            rootSeen_ = true;
        } else {
            open_.push_back(Opened(open_.back(), event.name, event.attributes, event.attributeCount));
        }
        open_.back().prefix = event.prefix;
        if (open_.back().role != Role::Skipped) writer_.Open(event);
    }

    void Characters(string_view text) {
        if (!open_.empty() && (open_.back().role == Role::Property || open_.back().role == Role::Presentation))
            open_.back().text.append(text);
    }

    void EndElement() {
        OpenElement element = std::move(open_.back());
        open_.pop_back();
        if (element.role == Role::Property) Property(element.node, element.name, element.text);
        if (element.role != Role::Skipped) writer_.Close(element.prefix, element.name, element.text);
    }

    bool SawRoot() const { return rootSeen_; }
    DescriptionFacts &Facts() { return facts_; }
    std::string TakeText() { return writer_.Take(); }
    const std::vector<PendingReference> &References() const { return references_; }

private:
    OpenElement Opened(const OpenElement &parent, string_view name, const xmlChar **attributes, int count) {
        OpenElement element(name, Role::Skipped);
        if (parent.role == Role::Skipped || parent.role == Role::Property || parent.role == Role::Presentation) {
            // The interpreter drops what stands inside a property or an
            // element it does not know; a node there would be lost.
            if (RuleOf(name) != nullptr) Refuse("a " + element.name + " node stands inside " + Quoted(parent.name));
            return element;
        }
        const KindRule *rule = RuleOf(name);
        if (parent.role == Role::Container) {
            if (name == "Group") {
                element.role = Role::Container;
                return element;
            }
            if (rule == nullptr) Refuse("node kind " + Quoted(name) + " is unknown");
        }
        if (rule == nullptr) {
            if (IsPresentationOffered(name)) element.role = Role::Presentation;
            if (IsPresentation(name)) return element;
            RequireAttribute(element.name, attributes, count);
            element.role = Role::Property;
            element.node = parent.node;
            return element;
        }
        if (!MayHold(parent, name)) Refuse("a " + element.name + " node stands inside " + Quoted(parent.name));
        element.role = Role::Node;
        element.rule = rule;
        const std::optional<size_t> owner =
            parent.role == Role::Node ? std::optional<size_t>(parent.node) : std::nullopt;
        element.node = AddNode(*rule, NameAttribute(attributes, count), owner);
        return element;
    }

    // Where the interpreter takes a node: entries inside their enumeration
    // or structure, formulas inside a register (they add to its address),
    // every other kind in the description or a group.
    static bool MayHold(const OpenElement &parent, string_view child) {
        if (child == "EnumEntry") return parent.name == "Enumeration";
        if (child == "StructEntry") return parent.name == "StructReg";
        if (parent.role == Role::Container) return true;
        return parent.rule->registerKind != RegisterKind::None && (child == "SwissKnife" || child == "IntSwissKnife");
    }

    size_t AddNode(const KindRule &rule, std::string name, std::optional<size_t> owner) {
        NodeFacts node;
        node.name = std::move(name);
        node.kind = rule.kind;
        node.parent = owner;
        if (rule.registerKind != RegisterKind::None) {
            node.registerFacts.emplace();
            node.registerFacts->cachable = rule.defaultCachable;
            node.registerFacts->staticAddress = 0;
        }
        const size_t index = facts_.nodes.size();
        if (!node.name.empty()) facts_.byName[node.name] = index;
        facts_.nodes.push_back(std::move(node));
        // A formula inside a register moves its address at run time.
        if (owner && facts_.nodes[*owner].registerFacts && rule.kind.find("SwissKnife") != string_view::npos)
            facts_.nodes[*owner].registerFacts->staticAddress.reset();
        return index;
    }

    static std::string Attribute(const char *wanted, const xmlChar **attributes, int count) {
        // SAX2 attributes come in fives: name, prefix, URI, value start, value end.
        for (int i = 0; i < count; ++i) {
            const xmlChar **attribute = attributes + 5 * i;
            if (std::strcmp(reinterpret_cast<const char *>(attribute[0]), wanted) == 0)
                return std::string(reinterpret_cast<const char *>(attribute[3]),
                                   reinterpret_cast<const char *>(attribute[4]));
        }
        return {};
    }
    static std::string NameAttribute(const xmlChar **attributes, int count) {
        return Attribute("Name", attributes, count);
    }

    // A formula's variable has a name, an indexed value the index it stands for.
    void RequireAttribute(const std::string &element, const xmlChar **attributes, int count) const {
        const char *wanted = element == "pVariable" ? "Name"
                             : element == "ValueIndexed" || element == "pValueIndexed" ? "Index"
                                                                                        : nullptr;
        if (wanted != nullptr && Trimmed(Attribute(wanted, attributes, count)).empty())
            Refuse(element + " of " + Quoted(facts_.nodes[open_.back().node].name) + " has no " + wanted);
    }

    void Property(size_t index, const std::string &element, const std::string &text) {
        NodeFacts &node = facts_.nodes[index];
        if (ReferenceRuleOf(element) != nullptr) {
            references_.push_back({index, element, std::string(Trimmed(text))});
            if (node.registerFacts && (element == "pAddress" || element == "pIndex"))
                node.registerFacts->staticAddress.reset();
            // The interpreter allocates whatever length the node answers at run
            // time, negative ones included; such a length cannot be bounded here.
            if (element == "pLength")
                Refuse("pLength of " + Quoted(node.name) + ": a length set at run time cannot be bounded");
            return;
        }
        if (IsBoundedNumber(element)) BoundNumber(node, element, text);
        if (element != "Cachable") return;
        const Cachable cachable = CachableOf(Trimmed(text));
        if (node.registerFacts) node.registerFacts->cachable = cachable;
        if (node.parent && facts_.nodes[*node.parent].registerFacts)
            MergeEntryCachable(*facts_.nodes[*node.parent].registerFacts, cachable);
    }

    static Cachable CachableOf(string_view text) {
        if (text == "WriteThrough") return Cachable::WriteThrough;
        if (text == "WriteAround") return Cachable::WriteAround;
        return Cachable::NoCache;
    }

    // The entries of a structure share its register: the most careful of
    // their modes is the register's.
    static void MergeEntryCachable(RegisterFacts &structure, Cachable entry) {
        if (entry == Cachable::NoCache || structure.cachable == Cachable::NoCache) structure.cachable = Cachable::NoCache;
        else if (entry == Cachable::WriteAround) structure.cachable = Cachable::WriteAround;
    }

    static void BoundNumber(NodeFacts &node, const std::string &element, const std::string &text) {
        const std::optional<int64_t> value = ParseNumber(text);
        const std::string where = element + " of " + (node.name.empty() ? "a " + node.kind : Quoted(node.name));
        if (!value) Refuse(where + " is no number: " + Quoted(Trimmed(text)));
        if (element == "Length") return BoundLength(node, *value, where);
        if (element == "Address") return BoundAddress(node, *value, where);
        if (element == "PollingTime") {
            if (*value < 0) Refuse(where + " is negative");
            if (node.registerFacts) node.registerFacts->pollingTimeMs = *value;
            return;
        }
        if (*value < 0 || *value > 63) Refuse(where + " is " + std::to_string(*value) + "; a bit is 0 to 63");
    }

    static void BoundLength(NodeFacts &node, int64_t length, const std::string &where) {
        if (!node.registerFacts) return;
        const RegisterKind kind = RuleOf(node.kind)->registerKind;
        if (kind == RegisterKind::Float && length != 4 && length != 8)
            Refuse(where + " is " + std::to_string(length) + "; a float register holds 4 or 8 bytes");
        const int64_t maximum = kind == RegisterKind::Integer ? 8 : DescriptionCheck::kMaxRegisterLength;
        if (length < 1 || length > maximum)
            Refuse(where + " is " + std::to_string(length) + "; it must be 1 to " + std::to_string(maximum) + " bytes");
        node.registerFacts->length = length;
    }

    static void BoundAddress(NodeFacts &node, int64_t address, const std::string &where) {
        constexpr uint64_t kMax = DescriptionCheck::kMaxAddress;
        if (address < 0 || static_cast<uint64_t>(address) > kMax) Refuse(where + " lies outside 0 to " + Hex(kMax));
        if (!node.registerFacts || !node.registerFacts->staticAddress) return;
        uint64_t &sum = *node.registerFacts->staticAddress;
        sum += static_cast<uint64_t>(address);
        if (sum > kMax) Refuse("the addresses of " + Quoted(node.name) + " add up past " + Hex(kMax));
    }

    std::vector<OpenElement> open_;
    DescriptionFacts facts_;
    std::vector<PendingReference> references_;
    CompactWriter writer_;
    bool rootSeen_ = false;
};

// libxml2's SAX entry points, forwarding to the scanner. A refusal raised
// inside a callback is kept and the parser stopped: exceptions must not
// cross libxml2's C frames.
struct ScanContext {
    explicit ScanContext(size_t size) : scanner(size) {}

    DescriptionScanner scanner;
    xmlParserCtxtPtr parser = nullptr;
    std::exception_ptr refusal;
    bool declaresDocumentType = false;
};

template <class Step>
void Guarded(void *context, Step step) {
    auto *scan = static_cast<ScanContext *>(context);
    if (scan->refusal) return;
    try {
        step(scan->scanner);
    } catch (...) {
        scan->refusal = std::current_exception();
        xmlStopParser(scan->parser);
    }
}

void OnStartElement(void *context, const xmlChar *name, const xmlChar *prefix, const xmlChar *, int namespaceCount,
                    const xmlChar **namespaces, int attributeCount, int, const xmlChar **attributes) {
    Guarded(context, [&](DescriptionScanner &scanner) {
        scanner.StartElement({reinterpret_cast<const char *>(name), prefix, namespaceCount, namespaces, attributeCount,
                              attributes});
    });
}

void OnEndElement(void *context, const xmlChar *, const xmlChar *, const xmlChar *) {
    Guarded(context, [](DescriptionScanner &scanner) { scanner.EndElement(); });
}

void OnCharacters(void *context, const xmlChar *text, int length) {
    Guarded(context, [&](DescriptionScanner &scanner) {
        scanner.Characters(string_view(reinterpret_cast<const char *>(text), static_cast<size_t>(length)));
    });
}

// A document type declaration could define entities that expand the text
// far beyond its size; descriptions have none.
void OnDocumentType(void *context, const xmlChar *, const xmlChar *, const xmlChar *) {
    auto *scan = static_cast<ScanContext *>(context);
    scan->declaresDocumentType = true;
    xmlStopParser(scan->parser);
}

void Scan(const void *description, size_t size, ScanContext &scan) {
    SilentXmlErrors silent;
    xmlSAXHandler handler{};
    handler.initialized = XML_SAX2_MAGIC;
    handler.startElementNs = OnStartElement;
    handler.endElementNs = OnEndElement;
    handler.characters = OnCharacters;
    handler.cdataBlock = OnCharacters;
    handler.internalSubset = OnDocumentType;
    handler.externalSubset = OnDocumentType;
    scan.parser = xmlCreatePushParserCtxt(&handler, &scan, nullptr, 0, nullptr);
    if (scan.parser == nullptr) Refuse("no memory to read it");
    xmlCtxtUseOptions(scan.parser, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    xmlParseChunk(scan.parser, static_cast<const char *>(description), static_cast<int>(size), 1);
    const bool wellFormed = scan.parser->wellFormed != 0;
    xmlFreeParserCtxt(scan.parser);
    scan.parser = nullptr;
    if (scan.refusal) std::rethrow_exception(scan.refusal);
    if (scan.declaresDocumentType) Refuse("it declares a document type");
    if (!wellFormed || !scan.scanner.SawRoot()) Refuse("it is no well-formed XML document");
}

void ResolveReferences(DescriptionFacts &facts, const std::vector<PendingReference> &references) {
    for (const PendingReference &reference : references) {
        NodeFacts &node = facts.nodes[reference.node];
        const auto found = facts.byName.find(reference.target);
        if (found == facts.byName.end()) {
            // A category lists features by name and leaves out those it cannot find.
            if (reference.element == "pFeature") continue;
            Refuse(reference.element + " of " + Quoted(node.name) + " names " + Quoted(reference.target) +
                   ", which does not exist");
        }
        const unsigned needs = ReferenceRuleOf(reference.element)->needs;
        const NodeFacts &target = facts.nodes[found->second];
        // The value of a String is a text; every other value reference asks for a number.
        const unsigned wanted = reference.element == "pValue" && node.kind == "String" ? kText : needs;
        if (wanted != kNothing && (RuleOf(target.kind)->answers & wanted) == 0)
            Refuse(reference.element + " of " + Quoted(node.name) + " names " + Quoted(reference.target) + ", a " +
                   target.kind + ", which cannot answer it");
        node.references.push_back({reference.element, found->second});
    }
}

// The nodes a node's value depends on: its value references, the structure
// of a structure entry, the entries of an enumeration, the formulas inside a
// register.
std::vector<size_t> ValueEdges(const DescriptionFacts &facts, size_t index,
                               const std::vector<std::vector<size_t>> &members) {
    std::vector<size_t> edges;
    for (const NodeReference &reference : facts.nodes[index].references)
        if (IsValueReference(reference.element)) edges.push_back(reference.target);
    const NodeFacts &node = facts.nodes[index];
    if (node.parent && node.kind == "StructEntry") edges.push_back(*node.parent);
    edges.insert(edges.end(), members[index].begin(), members[index].end());
    return edges;
}

// Refuses a cycle of value references and a chain longer than the
// interpreter's recursion may safely follow. Depth first without recursion:
// the chains are what is being checked.
void CheckValueGraph(const DescriptionFacts &facts) {
    const size_t count = facts.nodes.size();
    std::vector<std::vector<size_t>> members(count);
    for (size_t i = 0; i < count; ++i)
        if (facts.nodes[i].parent && facts.nodes[i].kind != "StructEntry") members[*facts.nodes[i].parent].push_back(i);
    enum State : uint8_t { kNew, kOnPath, kDone };
    std::vector<State> state(count, kNew);
    std::vector<size_t> depth(count, 0);  // longest chain below a finished node
    struct Frame {
        size_t node;
        std::vector<size_t> edges;
        size_t next = 0;
    };
    for (size_t start = 0; start < count; ++start) {
        if (state[start] != kNew) continue;
        std::vector<Frame> path;
        path.push_back({start, ValueEdges(facts, start, members)});
        state[start] = kOnPath;
        while (!path.empty()) {
            Frame &frame = path.back();
            if (frame.next == frame.edges.size()) {
                size_t longest = 0;
                for (size_t edge : frame.edges) longest = std::max(longest, depth[edge] + 1);
                if (longest > DescriptionCheck::kMaxReferenceDepth)
                    Refuse("the values of " + Quoted(facts.nodes[frame.node].name) + " hang on a chain of more than " +
                           std::to_string(DescriptionCheck::kMaxReferenceDepth) + " references");
                depth[frame.node] = longest;
                state[frame.node] = kDone;
                path.pop_back();
                continue;
            }
            const size_t next = frame.edges[frame.next++];
            if (state[next] == kOnPath)
                Refuse("the value of " + Quoted(facts.nodes[next].name) + " depends on itself");
            if (state[next] == kNew) {
                state[next] = kOnPath;
                path.push_back({next, ValueEdges(facts, next, members)});
            }
        }
    }
}

}  // namespace

bool IsValueReference(const std::string &element) {
    return element != "pFeature" && element != "pSelected" && element != "pInvalidator" && element != "pPort";
}

CheckedDescription DescriptionCheck::Check(const void *description, size_t size) {
    if (description == nullptr || size == 0) Refuse("it is empty");
    if (size > kMaxSize || size > static_cast<size_t>(INT_MAX))
        Refuse("it is larger than " + std::to_string(kMaxSize >> 20) + " MiB");
    ScanContext scan(size);
    Scan(description, size, scan);
    DescriptionFacts &facts = scan.scanner.Facts();
    ResolveReferences(facts, scan.scanner.References());
    CheckValueGraph(facts);
    return {std::move(facts), scan.scanner.TakeText()};
}

}  // namespace vexo::genicam::genapi
