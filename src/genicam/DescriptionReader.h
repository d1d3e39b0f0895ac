#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "genicam/CameraRegisterAccess.h"
#include "genicam/XmlUrl.h"

namespace vexo::genicam {

// Where the description road reports progress: trace lines go to the board's
// console trace, information and errors to the log (levels 3 and 5).
class DescriptionLog {
public:
    virtual ~DescriptionLog() = default;
    virtual void Trace(const std::string &line) = 0;
    virtual void Info(const std::string &message) = 0;
    virtual void Error(const std::string &message) = 0;
};

// A camera description fetched from the camera: its bytes (unzipped when the
// camera keeps it zipped), or the status of the failure, whose message has
// been logged.
struct RetrievedDescription {
    int32_t status = 0;
    std::vector<uint8_t> bytes;

    bool Ok() const { return status == 0; }
};

// Reads a camera's GenICam description out of its register space: the URL
// register, the URL text, the file it names. Every read is bounded: the URL
// text by kUrlAreaSize, each access by the read chunk, the file by
// XmlUrl::kMaxLength (a longer length fails as "Invalid format of XML URL"),
// the unzipped entry by ZipReader::kMaxEntrySize. A failed register read
// fails with the read's own status; every other failure with ERR_EXCEPTION.
class DescriptionReader {
public:
    static constexpr uint32_t kUrlAreaSize = 256;
    static constexpr uint32_t kMinControlPacketSize = 128;
    static constexpr uint32_t kMaxControlPacketSize = 512;
    static constexpr uint32_t kControlPacketOverhead = 24;

    DescriptionReader(CameraRegisterAccess &registers, DescriptionLog &log) : registers_(registers), log_(log) {}

    // The CoaXPress road. A control packet size of 0 is read from the camera
    // (ControlPacketSizeMax, 128 when that fails); it is clamped to 128..512
    // and each read moves at most that size less 24 bytes.
    RetrievedDescription ReadCoaXPress(uint32_t controlPacketSize);

    // The GenCP road (Camera Link HS): the version register, the manifest
    // table's address and entry count, its first entry, then the file it
    // names, in reads of at most kGenCpReadChunk bytes.
    static constexpr uint32_t kGenCpReadChunk = 488;
    RetrievedDescription ReadGenCpManifest();

    // The bytes of a URL area read in chunks of `chunk` bytes: reading stops
    // at a failed read or after a chunk holding a byte outside 32..126; the
    // text ends at the first zero byte.
    std::string ReadUrlInChunks(uint32_t address, uint32_t chunk);
    // The URL read one byte per access, up to the first byte outside 32..126.
    std::string ReadUrlByteByByte(uint32_t address);

private:
    uint32_t ReadChunkSize(uint32_t controlPacketSize);
    int32_t ReadUrlAddress(uint32_t &address);
    int32_t ReadNumber64(uint32_t address, uint64_t &value);
    RetrievedDescription ReadUrlText(uint32_t address, uint32_t chunk, std::string &url);
    RetrievedDescription ReadFile(const XmlUrl &url, uint32_t chunk);
    RetrievedDescription UnzipIfZipped(RetrievedDescription file);
    RetrievedDescription Fail(int32_t status, const std::string &message);
    RetrievedDescription FailedRead(int32_t status, const std::string &registerName);

    CameraRegisterAccess &registers_;
    DescriptionLog &log_;
};

}  // namespace vexo::genicam
