#pragma once
#include <cstdint>

#include "genapi/IBase.h"

namespace GenApi {

// The register space a node map reads and writes: implemented by the
// transport layer and connected to a node map under a port name. Bytes move
// as they are; byte order is the description's business. A failure is
// reported by throwing; its what() text reaches the caller of the feature.
class IPort : public virtual IBase {
public:
    virtual void Read(void *buffer, int64_t address, int64_t length) = 0;
    virtual void Write(const void *buffer, int64_t address, int64_t length) = 0;
};

}  // namespace GenApi
