#pragma once
#include <atomic>
#include <cstdint>
#include <memory>

#include "board/ControllerKind.h"
#include "board/FirmwareControllerBase.h"
#include "logging/LazyLogger.h"
#include "logging/Logger.h"

namespace vexo::genicam {

// A board as the exported interface sees it: its link controller (owned), the
// controller's technology and the board's number of camera ports.
class NOXInterface {
public:
    NOXInterface() = default;
    NOXInterface(const NOXInterface &) = delete;
    NOXInterface &operator=(const NOXInterface &) = delete;

    virtual tools::logging::Logger *GetLogger();  // "vexo.genicam.NOXInterface"
    // The controller's Discovery (option, speed, port mask, flags). An exception
    // thrown there is logged and the discovery counts as successful.
    virtual int32_t DiscoverCameras(uint32_t portMask, uint32_t option, uint32_t speed, uint32_t flags);
    // A camera write through the controller: swap off, timeout 0.
    virtual int32_t WriteMemory(uint32_t port, uint64_t address, const void *data, uint32_t bytes);
    // A 4-byte camera write through the controller, timeout 0.
    virtual int32_t WriteRegister(uint32_t port, uint64_t address, uint32_t value, AcknowledgeMode acknowledgeMode,
                                  ByteSwap swap);
    virtual uint32_t GetCameraCount();  // 0
    virtual ~NOXInterface();

    FirmwareControllerBase *Controller() const { return controller_.get(); }
    ControllerKind Kind() const { return kind_; }
    uint32_t PortCount() const { return portCount_; }
    bool IsClhs() const { return kind_ == ControllerKind::kCameraLinkHs; }
    bool IsCxp() const { return kind_ == ControllerKind::kCoaXPress; }
    bool IsCameraLink() const { return kind_ == ControllerKind::kCameraLink; }

protected:
    // The controller goes last, after everything that may still use it.
    void DestroyController() { controller_.reset(); }

    uint32_t portCount_ = 0;
    ControllerKind kind_ = ControllerKind::kNone;
    std::unique_ptr<FirmwareControllerBase> controller_;

private:
    tools::logging::LazyLogger logger_;
};

}  // namespace vexo::genicam
