#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "genapi/INodeMap.h"

namespace GenApi {

// How the description bytes are to be read: detected from the first bytes
// (a zip archive begins with "PK\x03\x04"), plain XML, or a zip archive whose
// first entry is the XML.
enum EContentType { ContentType_Auto = 0, ContentType_Xml, ContentType_ZippedXml };

// Builds node maps from one camera description. The factory keeps its own
// copy of the bytes; descriptions larger than kMaxDescriptionSize are refused.
class CNodeMapFactory {
public:
    static constexpr size_t kMaxDescriptionSize = size_t{64} << 20;

    // From bytes in memory. Throws RuntimeException for an empty or oversized
    // description or a zip archive that cannot be read.
    CNodeMapFactory(EContentType contentType, const void *data, size_t size);
    // From a file. Throws RuntimeException when the file cannot be read, and
    // as above.
    CNodeMapFactory(EContentType contentType, const gcstring &fileName);

    // A new node map of the description for the device name. Throws
    // RuntimeException "invalid GenICam description" when the description is
    // refused. With releaseDescription the factory drops its copy afterwards,
    // and a further call raises LogicalErrorException.
    std::unique_ptr<INodeMap> CreateNodeMap(const gcstring &deviceName = "Device", bool releaseDescription = true);

private:
    void Accept(EContentType contentType, std::vector<uint8_t> bytes);

    std::vector<uint8_t> description_;
    bool released_ = false;
};

}  // namespace GenApi
