#pragma once
#include <cstdint>

#include "genicam/CameraRegisterAccess.h"
#include "nox_genicam.h"

namespace vexo::genicam {

// Through the exported register functions, so that every access takes the
// camera's normal register path (link check, command port, controller).
class ExportedRegisterAccess final : public CameraRegisterAccess {
public:
    explicit ExportedRegisterAccess(NoxCameraHandle *camera) : camera_(camera) {}

    int32_t ReadRegister(uint32_t address, uint32_t &value) override;
    int32_t WriteRegister(uint32_t address, uint32_t value) override;
    int32_t ReadBytes(uint32_t address, uint8_t *buffer, uint32_t length) override;

private:
    NoxCameraHandle *camera_;
};

}  // namespace vexo::genicam
