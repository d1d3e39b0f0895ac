#include "genapi/DescriptionSyntax.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <cstring>

namespace vexo::genicam::genapi {

bool IsWellFormedDescription(const void *description, size_t size) {
    if (!description || size == 0 || size > INT_MAX) return false;
    // No network, no entity substitution, no messages on stderr.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    xmlDocPtr document =
        xmlReadMemory(static_cast<const char *>(description), static_cast<int>(size), nullptr, nullptr, options);
    if (!document) return false;
    const xmlNode *root = xmlDocGetRootElement(document);
    const bool accepted = !document->intSubset && !document->extSubset && root &&
                          std::strcmp(reinterpret_cast<const char *>(root->name), "RegisterDescription") == 0;
    xmlFreeDoc(document);
    return accepted;
}

}  // namespace vexo::genicam::genapi
