#include "camera/FeatureRegisters.h"

#include <algorithm>
#include <iterator>

#include <bit>
#include <cmath>

namespace vexo::sim {
namespace {

namespace fa = feature_address;

struct RegisterSlot {
    uint32_t address;
    RegisterAccess access;
};

constexpr std::array<RegisterSlot, 24> kRegisters{{
    {fa::kSensorWidth, RegisterAccess::ReadOnly},
    {fa::kSensorHeight, RegisterAccess::ReadOnly},
    {fa::kWidth, RegisterAccess::ReadWrite},
    {fa::kHeight, RegisterAccess::ReadWrite},
    {fa::kOffsetX, RegisterAccess::ReadWrite},
    {fa::kOffsetY, RegisterAccess::ReadWrite},
    {fa::kPixelFormat, RegisterAccess::ReadWrite},
    {fa::kPayloadSize, RegisterAccess::ReadOnly},
    {fa::kExposureTime, RegisterAccess::ReadWrite},
    {fa::kGain, RegisterAccess::ReadWrite},
    {fa::kDeviceTemperature, RegisterAccess::ReadOnly},
    {fa::kReverseX, RegisterAccess::ReadWrite},
    {fa::kAcquisitionMode, RegisterAccess::ReadWrite},
    {fa::kAcquisitionStart, RegisterAccess::WriteOnly},
    {fa::kAcquisitionStop, RegisterAccess::WriteOnly},
    {fa::kTriggerSelector, RegisterAccess::ReadWrite},
    {fa::kTriggerMode, RegisterAccess::ReadWrite},
    {fa::kTriggerMode + 4, RegisterAccess::ReadWrite},
    {fa::kTriggerSource, RegisterAccess::ReadWrite},
    {fa::kTriggerSource + 4, RegisterAccess::ReadWrite},
    // Readable so that a host can tell when the trigger has been handled.
    {fa::kTriggerSoftware, RegisterAccess::ReadWrite},
    {fa::kSequencerSetSelector, RegisterAccess::ReadWrite},
    {fa::kSequencerExposureTime, RegisterAccess::ReadWrite},  // and the three sets after it
    {fa::kTestWriteOnly, RegisterAccess::WriteOnly},
}};

constexpr float kDeviceTemperature = 42.5f;
constexpr uint32_t kCommandValue = 1;

bool IsSequencerExposure(uint32_t address) {
    return address >= fa::kSequencerExposureTime && address < fa::kSequencerExposureTime + 4 * kSequencerSetCount &&
           address % 4 == 0;
}

uint32_t FloatBits(float value) { return std::bit_cast<uint32_t>(value); }

bool FloatWithin(uint32_t bits, float min, float max) {
    const float value = std::bit_cast<float>(bits);
    return std::isfinite(value) && value >= min && value <= max;
}

AckCode Check(bool valid) { return valid ? AckCode::kSuccess : AckCode::kInvalidData; }

// Image sizes and offsets step by 16 pixels and stay inside the sensor.
AckCode CheckExtent(uint32_t value, uint32_t other, uint32_t sensor, uint32_t min) {
    return Check(value % 16 == 0 && value >= min && uint64_t(value) + other <= sensor);
}

const PixelFormatInfo *FindPixelFormat(uint32_t value) {
    for (const PixelFormatInfo &format : kPixelFormats)
        if (format.value == value) return &format;
    return nullptr;
}

}  // namespace

void FeatureRegisters::Reset() {
    width_ = kSensorWidth;
    height_ = kSensorHeight;
    offsetX_ = offsetY_ = 0;
    pixelFormat_ = kPixelFormats[0].value;
    exposureTime_ = FloatBits(10000.0f);
    gain_ = FloatBits(0.0f);
    reverseX_ = acquisitionMode_ = acquiring_ = 0;
    triggerSelector_ = 0;
    std::fill(std::begin(triggerMode_), std::end(triggerMode_), 0u);
    std::fill(std::begin(triggerSource_), std::end(triggerSource_), 0u);
    triggerBusyUntil_ = Clock::time_point{};
    sequencerSet_ = 0;
    std::fill(std::begin(sequencerExposure_), std::end(sequencerExposure_), FloatBits(10000.0f));
    testWriteOnly_ = 0;
}

std::optional<RegisterAccess> FeatureRegisters::Access(uint32_t address) const {
    if (IsSequencerExposure(address)) return RegisterAccess::ReadWrite;
    for (const RegisterSlot &slot : kRegisters)
        if (slot.address == address) return slot.access;
    return std::nullopt;
}

uint32_t FeatureRegisters::Read(uint32_t address, Clock::time_point now) const {
    if (IsSequencerExposure(address)) return sequencerExposure_[(address - fa::kSequencerExposureTime) / 4];
    switch (address) {
        case fa::kSensorWidth: return kSensorWidth;
        case fa::kSensorHeight: return kSensorHeight;
        case fa::kWidth: return width_;
        case fa::kHeight: return height_;
        case fa::kOffsetX: return offsetX_;
        case fa::kOffsetY: return offsetY_;
        case fa::kPixelFormat: return pixelFormat_;
        case fa::kPayloadSize: return width_ * height_ * FindPixelFormat(pixelFormat_)->bytesPerPixel;
        case fa::kExposureTime: return exposureTime_;
        case fa::kGain: return gain_;
        case fa::kDeviceTemperature: return FloatBits(kDeviceTemperature);
        case fa::kReverseX: return reverseX_;
        case fa::kAcquisitionMode: return acquisitionMode_;
        case fa::kTriggerSelector: return triggerSelector_;
        case fa::kTriggerMode: return triggerMode_[0];
        case fa::kTriggerMode + 4: return triggerMode_[1];
        case fa::kTriggerSource: return triggerSource_[0];
        case fa::kTriggerSource + 4: return triggerSource_[1];
        case fa::kTriggerSoftware: return now < triggerBusyUntil_ ? kCommandValue : 0;
        case fa::kSequencerSetSelector: return sequencerSet_;
        default: return 0;
    }
}

AckCode FeatureRegisters::Validate(uint32_t address, uint32_t value) const {
    if (IsSequencerExposure(address)) return Check(FloatWithin(value, 10.0f, 1000000.0f));
    switch (address) {
        case fa::kWidth: return CheckExtent(value, offsetX_, kSensorWidth, 16);
        case fa::kHeight: return CheckExtent(value, offsetY_, kSensorHeight, 16);
        case fa::kOffsetX: return CheckExtent(value, width_, kSensorWidth, 0);
        case fa::kOffsetY: return CheckExtent(value, height_, kSensorHeight, 0);
        case fa::kPixelFormat: return Check(FindPixelFormat(value) != nullptr);
        case fa::kExposureTime: return Check(FloatWithin(value, 10.0f, 1000000.0f));
        case fa::kGain: return Check(FloatWithin(value, 0.0f, 24.0f));
        case fa::kReverseX: return Check(value <= 1);
        case fa::kAcquisitionMode: return Check(value <= 2);
        case fa::kAcquisitionStart:
        case fa::kAcquisitionStop:
        case fa::kTriggerSoftware: return Check(value == kCommandValue);
        case fa::kTriggerSelector: return Check(value < kTriggerCount);
        case fa::kTriggerMode:
        case fa::kTriggerMode + 4: return Check(value <= 1);
        case fa::kTriggerSource:
        case fa::kTriggerSource + 4: return Check(value <= 2);
        case fa::kSequencerSetSelector: return Check(value < kSequencerSetCount);
        case fa::kTestWriteOnly: return AckCode::kSuccess;
        default: return AckCode::kWriteToReadOnly;
    }
}

void FeatureRegisters::Write(uint32_t address, uint32_t value, Clock::time_point now) {
    if (IsSequencerExposure(address)) {
        sequencerExposure_[(address - fa::kSequencerExposureTime) / 4] = value;
        return;
    }
    switch (address) {
        case fa::kWidth: width_ = value; break;
        case fa::kHeight: height_ = value; break;
        case fa::kOffsetX: offsetX_ = value; break;
        case fa::kOffsetY: offsetY_ = value; break;
        case fa::kPixelFormat: pixelFormat_ = value; break;
        case fa::kExposureTime: exposureTime_ = value; break;
        case fa::kGain: gain_ = value; break;
        case fa::kReverseX: reverseX_ = value; break;
        case fa::kAcquisitionMode: acquisitionMode_ = value; break;
        case fa::kAcquisitionStart: acquiring_ = 1; break;
        case fa::kAcquisitionStop: acquiring_ = 0; break;
        case fa::kTriggerSelector: triggerSelector_ = value; break;
        case fa::kTriggerMode: triggerMode_[0] = value; break;
        case fa::kTriggerMode + 4: triggerMode_[1] = value; break;
        case fa::kTriggerSource: triggerSource_[0] = value; break;
        case fa::kTriggerSource + 4: triggerSource_[1] = value; break;
        case fa::kTriggerSoftware: triggerBusyUntil_ = now + kTriggerSoftwareBusy; break;
        case fa::kSequencerSetSelector: sequencerSet_ = value; break;
        case fa::kTestWriteOnly: testWriteOnly_ = value; break;
        default: break;
    }
}

}  // namespace vexo::sim
