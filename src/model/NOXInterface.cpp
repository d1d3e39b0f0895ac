#include "model/NOXInterface.h"

#include <exception>

#include "logging/LoggerNames.h"
#include "logging/Record.h"
#include "nox_genicam.h"

namespace vexo::genicam {

NOXInterface::~NOXInterface() = default;

tools::logging::Logger *NOXInterface::GetLogger() {
    return logger_.Get(tools::logging::names::kNoxInterface);
}

int32_t NOXInterface::DiscoverCameras(uint32_t portMask, uint32_t option, uint32_t speed, uint32_t flags) {
    if (!controller_) return ERR_INTERNAL;
    try {
        return controller_->Discovery(option, speed, portMask, flags);
    } catch (const std::exception &error) {
        // The model keeps what was found before the failure; the scan goes on with it.
        WriteRecord(GetLogger(), tools::logging::kLevelError, {},
                    std::string("Exception while discovering cameras: ") + error.what());
        return ERR_NONE;
    }
}

int32_t NOXInterface::WriteMemory(uint32_t port, uint64_t address, const void *data, uint32_t bytes) {
    if (!controller_) return ERR_INTERNAL;
    return controller_->WriteMemory(port, address, data, bytes, ByteSwap::kWireOrder, 0);
}

int32_t NOXInterface::WriteRegister(uint32_t port, uint64_t address, uint32_t value,
                                    AcknowledgeMode acknowledgeMode, ByteSwap swap) {
    if (!controller_) return ERR_INTERNAL;
    return controller_->WriteRegister(port, address, value, swap, acknowledgeMode, 0);
}

uint32_t NOXInterface::GetCameraCount() { return 0; }

}  // namespace vexo::genicam
