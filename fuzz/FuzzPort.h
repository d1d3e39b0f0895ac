#pragma once
// 4 KiB of camera registers in memory for node maps under a fuzz target;
// everything past them fails like an unknown address.
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "genapi/IPort.h"

namespace nox_fuzz {

class FuzzPort final : public GenApi::IPort {
public:
    GenApi::EAccessMode GetAccessMode() const override { return GenApi::RW; }
    void Read(void *buffer, int64_t address, int64_t length) override {
        Check(address, length);
        std::memcpy(buffer, bytes_ + address, static_cast<size_t>(length));
    }
    void Write(const void *buffer, int64_t address, int64_t length) override {
        Check(address, length);
        std::memcpy(bytes_ + address, buffer, static_cast<size_t>(length));
    }

private:
    static void Check(int64_t address, int64_t length) {
        if (address < 0 || length < 0 || address > kSize || length > kSize - address)
            throw std::runtime_error("invalid address");
    }
    static constexpr int64_t kSize = 4096;
    uint8_t bytes_[kSize] = {};
};

}  // namespace nox_fuzz
