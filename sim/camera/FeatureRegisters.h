#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <optional>

#include "camera/ControlPacket.h"

namespace vexo::sim {

enum class RegisterAccess { ReadOnly, ReadWrite, WriteOnly };

// Where the camera keeps its features; the built-in description maps these.
namespace feature_address {
inline constexpr uint32_t kSensorWidth = 0x6000;
inline constexpr uint32_t kSensorHeight = 0x6004;
inline constexpr uint32_t kWidth = 0x6008;
inline constexpr uint32_t kHeight = 0x600C;
inline constexpr uint32_t kOffsetX = 0x6010;
inline constexpr uint32_t kOffsetY = 0x6014;
inline constexpr uint32_t kPixelFormat = 0x6018;
inline constexpr uint32_t kPayloadSize = 0x601C;
inline constexpr uint32_t kExposureTime = 0x6020;       // IEEE float, microseconds
inline constexpr uint32_t kGain = 0x6024;               // IEEE float, dB
inline constexpr uint32_t kDeviceTemperature = 0x6028;  // IEEE float, degrees Celsius
inline constexpr uint32_t kReverseX = 0x602C;
inline constexpr uint32_t kAcquisitionMode = 0x6030;
inline constexpr uint32_t kAcquisitionStart = 0x6034;
inline constexpr uint32_t kAcquisitionStop = 0x6038;
inline constexpr uint32_t kTriggerSelector = 0x603C;
inline constexpr uint32_t kTriggerMode = 0x6040;    // one register per trigger, 4 bytes apart
inline constexpr uint32_t kTriggerSource = 0x6048;  // one register per trigger, 4 bytes apart
inline constexpr uint32_t kTriggerSoftware = 0x6050;
inline constexpr uint32_t kSequencerSetSelector = 0x6054;
inline constexpr uint32_t kSequencerExposureTime = 0x6060;  // one IEEE float per set, 4 bytes apart
inline constexpr uint32_t kTestWriteOnly = 0x6080;
inline constexpr uint32_t kTestFailingRegister = 0x6084;  // described, but the camera has no register there
inline constexpr uint32_t kDeviceFamilyName = 0x6100;     // 32-byte string
}  // namespace feature_address

inline constexpr uint32_t kSensorWidth = 4096;
inline constexpr uint32_t kSensorHeight = 3072;
inline constexpr uint32_t kTriggerCount = 2;
inline constexpr uint32_t kSequencerSetCount = 4;
inline constexpr auto kTriggerSoftwareBusy = std::chrono::milliseconds(50);

struct PixelFormatInfo {
    const char *name;
    uint32_t value;  // PFNC code
    uint32_t bytesPerPixel;
};
inline constexpr std::array<PixelFormatInfo, 4> kPixelFormats{{
    {"Mono8", 0x01080001, 1}, {"Mono10", 0x01100003, 2}, {"Mono12", 0x01100005, 2}, {"RGB8", 0x02180014, 3}}};

// The camera's feature registers: 32-bit values, checked on write as the
// camera would, with a self-clearing software trigger. Plain data: it lives
// in the simulator's shared memory.
class FeatureRegisters {
public:
    using Clock = std::chrono::steady_clock;

    FeatureRegisters() { Reset(); }

    // Back to the power-on values.
    void Reset();

    // Nothing where the camera has no register.
    std::optional<RegisterAccess> Access(uint32_t address) const;
    uint32_t Read(uint32_t address, Clock::time_point now) const;
    // Success, or the code the camera refuses the value with.
    AckCode Validate(uint32_t address, uint32_t value) const;
    void Write(uint32_t address, uint32_t value, Clock::time_point now);

private:
    uint32_t width_, height_, offsetX_, offsetY_, pixelFormat_;
    uint32_t exposureTime_, gain_;  // IEEE float bits
    uint32_t reverseX_, acquisitionMode_, acquiring_;
    uint32_t triggerSelector_;
    uint32_t triggerMode_[kTriggerCount], triggerSource_[kTriggerCount];
    Clock::time_point triggerBusyUntil_;
    uint32_t sequencerSet_;
    uint32_t sequencerExposure_[kSequencerSetCount];
    uint32_t testWriteOnly_;
};

}  // namespace vexo::sim
