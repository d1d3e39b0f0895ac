#pragma once
#include <cstdint>

namespace vexo::genicam {

// The camera register access the description road takes: 0 or the status of
// the access. Values are the camera's big-endian registers as numbers; a byte
// read fills the buffer only on success.
class CameraRegisterAccess {
public:
    virtual ~CameraRegisterAccess() = default;
    virtual int32_t ReadRegister(uint32_t address, uint32_t &value) = 0;
    virtual int32_t WriteRegister(uint32_t address, uint32_t value) = 0;
    virtual int32_t ReadBytes(uint32_t address, uint8_t *buffer, uint32_t length) = 0;
};

}  // namespace vexo::genicam
