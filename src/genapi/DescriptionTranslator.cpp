#include "genapi/DescriptionTranslator.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string_view>
#include <vector>

#include "genapi/SilentXmlErrors.h"

namespace vexo::genicam::genapi {
namespace {

using std::string_view;

// What each schema 1.0 node kind becomes.
struct Translation {
    string_view from;
    const char *to;
    const char *accessMode;  // when the node gives none
};

constexpr Translation kTranslations[] = {
    {"ConfRom", "Register", "RO"},        // the configuration ROM block, as raw bytes
    {"TextDesc", "StringReg", "RO"},      // a text leaf of the ROM
    {"IntKey", "IntReg", "RO"},           // an integer entry of the ROM
    {"AdvFeatureLock", "IntReg", "RW"},   // the lock of the advanced features: written to unlock them
    {"SmartFeature", "IntReg", "RO"},     // the address of a feature block, read from its register
};

// The children a translated node keeps; the rest (Key, Unit, FeatureID,
// Timeout, pAdvFeatureLock, ...) mean nothing to a register and go.
constexpr string_view kKeptChildren[] = {
    "Extension",  "ToolTip",        "Description",  "DisplayName", "Visibility", "EventID",   "pIsImplemented",
    "pIsAvailable", "pIsLocked",    "ImposedAccessMode", "pError", "pAlias",     "pCastAlias", "pInvalidator",
    "Address",    "pAddress",       "pIndex",       "Length",      "pLength",    "AccessMode", "pPort",
    "Cachable",   "PollingTime",    "Endianess",    "Sign",        "Representation", "Unit",
};

string_view NameOf(const xmlNode *node) { return reinterpret_cast<const char *>(node->name); }

const Translation *TranslationOf(const xmlNode *node) {
    if (node->type != XML_ELEMENT_NODE) return nullptr;
    for (const Translation &translation : kTranslations)
        if (translation.from == NameOf(node)) return &translation;
    return nullptr;
}

bool Kept(const xmlNode *child) {
    return std::find(std::begin(kKeptChildren), std::end(kKeptChildren), NameOf(child)) != std::end(kKeptChildren);
}

bool HasChild(const xmlNode *node, const char *name) {
    for (const xmlNode *child = node->children; child; child = child->next)
        if (child->type == XML_ELEMENT_NODE && NameOf(child) == name) return true;
    return false;
}

// Every element to translate, in document order, without recursion.
std::vector<xmlNode *> NodesToTranslate(xmlNode *root) {
    std::vector<xmlNode *> found;
    std::vector<xmlNode *> pending{root};
    while (!pending.empty()) {
        xmlNode *node = pending.back();
        pending.pop_back();
        if (TranslationOf(node)) found.push_back(node);
        std::vector<xmlNode *> children;
        for (xmlNode *child = node->children; child; child = child->next)
            if (child->type == XML_ELEMENT_NODE) children.push_back(child);
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return found;
}

// A ROM entry written inside its ROM block becomes the block's sibling:
// registers hold no nodes.
void HoistOutOfTranslatedParent(xmlNode *node) {
    xmlNode *parent = node->parent;
    if (parent == nullptr || TranslationOf(parent) == nullptr) return;
    xmlUnlinkNode(node);
    xmlAddNextSibling(parent, node);
}

void TranslateNode(xmlNode *node, const Translation &translation) {
    xmlNodeSetName(node, reinterpret_cast<const xmlChar *>(translation.to));
    for (xmlNode *child = node->children, *next = nullptr; child; child = next) {
        next = child->next;
        if (child->type == XML_ELEMENT_NODE && !Kept(child)) {
            xmlUnlinkNode(child);
            xmlFreeNode(child);
        }
    }
    if (!HasChild(node, "AccessMode"))
        xmlNewChild(node, node->ns, reinterpret_cast<const xmlChar *>("AccessMode"),
                    reinterpret_cast<const xmlChar *>(translation.accessMode));
}

// A quick look, in one pass, before parsing: almost every description holds none.
bool MayNeedTranslation(const void *description, size_t size) {
    const string_view text(static_cast<const char *>(description), size);
    for (size_t at = text.find('<'); at != string_view::npos; at = text.find('<', at + 1)) {
        const string_view rest = text.substr(at + 1);
        for (const Translation &translation : kTranslations)
            if (rest.substr(0, translation.from.size()) == translation.from) return true;
    }
    return false;
}

}  // namespace

std::optional<std::string> DescriptionTranslator::Translate(const void *description, size_t size) {
    if (description == nullptr || size == 0 || size > INT_MAX || !MayNeedTranslation(description, size))
        return std::nullopt;
    SilentXmlErrors silent;
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    xmlDocPtr document =
        xmlReadMemory(static_cast<const char *>(description), static_cast<int>(size), nullptr, nullptr, options);
    if (document == nullptr) return std::nullopt;
    xmlNode *root = xmlDocGetRootElement(document);
    const std::vector<xmlNode *> nodes = root && !document->intSubset ? NodesToTranslate(root) : std::vector<xmlNode *>{};
    if (nodes.empty()) {
        xmlFreeDoc(document);
        return std::nullopt;
    }
    for (xmlNode *node : nodes) HoistOutOfTranslatedParent(node);
    // Last first: translating a node frees the children it does not keep, and
    // with them any node to translate still nested deeper inside one of them.
    for (auto node = nodes.rbegin(); node != nodes.rend(); ++node) TranslateNode(*node, *TranslationOf(*node));
    xmlChar *text = nullptr;
    int length = 0;
    xmlDocDumpMemory(document, &text, &length);
    xmlFreeDoc(document);
    if (text == nullptr) return std::nullopt;
    std::string translated(reinterpret_cast<const char *>(text), static_cast<size_t>(std::max(length, 0)));
    xmlFree(text);
    return translated;
}

}  // namespace vexo::genicam::genapi
