#include "api/ExportedRegisterAccess.h"

namespace vexo::genicam {

int32_t ExportedRegisterAccess::ReadRegister(uint32_t address, uint32_t &value) {
    return Nox_registerReadFromCamera(camera_, &value, address);
}

int32_t ExportedRegisterAccess::WriteRegister(uint32_t address, uint32_t value) {
    return Nox_registerWriteToCamera(camera_, value, address);
}

int32_t ExportedRegisterAccess::ReadBytes(uint32_t address, uint8_t *buffer, uint32_t length) {
    return Nox_stringReadFromCamera(camera_, reinterpret_cast<char *>(buffer), address, length);
}

}  // namespace vexo::genicam
