#include "genapi/CNodeMapFactory.h"

#include <fstream>

#include "genapi/GenericException.h"
#include "genapi/NodeMap.h"
#include "platform/ZipReader.h"

namespace GenApi {
namespace {

std::vector<uint8_t> ReadDescriptionFile(const gcstring &fileName) {
    std::ifstream file(fileName, std::ios::binary | std::ios::ate);
    if (!file) throw RUNTIME_EXCEPTION("Cannot open description file '%s'", fileName.c_str());
    const std::streamoff size = file.tellg();
    if (size < 0) throw RUNTIME_EXCEPTION("Cannot read description file '%s'", fileName.c_str());
    if (static_cast<uint64_t>(size) > CNodeMapFactory::kMaxDescriptionSize)
        throw RUNTIME_EXCEPTION("Description file '%s' is larger than 64 MiB", fileName.c_str());
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    file.seekg(0);
    if (!file.read(reinterpret_cast<char *>(bytes.data()), size))
        throw RUNTIME_EXCEPTION("Cannot read description file '%s'", fileName.c_str());
    return bytes;
}

}  // namespace

CNodeMapFactory::CNodeMapFactory(EContentType contentType, const void *data, size_t size) {
    if (!data || size == 0) throw RUNTIME_EXCEPTION("Empty camera description");
    if (size > kMaxDescriptionSize) throw RUNTIME_EXCEPTION("Camera description is larger than 64 MiB");
    const auto *bytes = static_cast<const uint8_t *>(data);
    Accept(contentType, std::vector<uint8_t>(bytes, bytes + size));
}

CNodeMapFactory::CNodeMapFactory(EContentType contentType, const gcstring &fileName) {
    std::vector<uint8_t> bytes = ReadDescriptionFile(fileName);
    if (bytes.empty()) throw RUNTIME_EXCEPTION("Description file '%s' is empty", fileName.c_str());
    Accept(contentType, std::move(bytes));
}

void CNodeMapFactory::Accept(EContentType contentType, std::vector<uint8_t> bytes) {
    using vexo::templates::platform::ZipReader;
    const bool zipped = contentType == ContentType_ZippedXml ||
                        (contentType == ContentType_Auto && ZipReader::IsZip(bytes.data(), bytes.size()));
    if (!zipped) {
        description_ = std::move(bytes);
        return;
    }
    vexo::templates::platform::ZipEntryResult entry = ZipReader::ReadFirstEntry(bytes.data(), bytes.size());
    if (!entry.Ok() || entry.bytes.empty()) throw RUNTIME_EXCEPTION("Cannot unzip the camera description");
    description_ = std::move(entry.bytes);
}

std::unique_ptr<INodeMap> CNodeMapFactory::CreateNodeMap(const gcstring &deviceName, bool releaseDescription) {
    if (released_) throw LOGICAL_ERROR_EXCEPTION("The factory's description has been released");
    auto nodeMap = std::make_unique<vexo::genicam::genapi::NodeMap>(description_.data(), description_.size(), deviceName);
    if (releaseDescription) {
        description_ = {};
        released_ = true;
    }
    return nodeMap;
}

}  // namespace GenApi
