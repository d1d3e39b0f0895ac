#pragma once
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "genapi/IPort.h"

namespace nox_test {

// A register space in memory behind the IPort interface. Accesses at or above
// kFailingAddress fail, and so does every read while failReads is set; the
// failure text names the address. Counts accesses; not thread-safe on its own
// (a node map serialises the calls it makes).
class MemoryPort : public GenApi::IPort {
public:
    static constexpr int64_t kSize = 0x1000;
    static constexpr int64_t kFailingAddress = 0x1000;

    struct Access {
        bool write;
        int64_t address;
        int64_t length;
    };

    MemoryPort() : bytes(kSize, 0) {}

    GenApi::EAccessMode GetAccessMode() const override { return GenApi::RW; }

    void Read(void *buffer, int64_t address, int64_t length) override {
        accesses.push_back({false, address, length});
        if (failReads) Fail("read", address);
        Check("read", address, length);
        std::memcpy(buffer, bytes.data() + address, static_cast<size_t>(length));
    }

    void Write(const void *buffer, int64_t address, int64_t length) override {
        accesses.push_back({true, address, length});
        Check("write", address, length);
        std::memcpy(bytes.data() + address, buffer, static_cast<size_t>(length));
    }

    size_t Writes() const {
        size_t count = 0;
        for (const Access &access : accesses) count += access.write ? 1 : 0;
        return count;
    }

    void PutBig32(int64_t address, uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes[address + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
    }
    uint32_t Big32(int64_t address) const {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value = value << 8 | bytes[address + i];
        return value;
    }
    std::vector<uint8_t> Bytes(int64_t address, size_t length) const {
        return {bytes.begin() + address, bytes.begin() + address + static_cast<int64_t>(length)};
    }

    std::vector<uint8_t> bytes;
    std::vector<Access> accesses;
    bool failReads = false;

private:
    static void Fail(const char *what, int64_t address) {
        char text[64];
        std::snprintf(text, sizeof text, "Port %s failed at 0x%llx", what, static_cast<long long>(address));
        throw std::runtime_error(text);
    }
    static void Check(const char *what, int64_t address, int64_t length) {
        if (address < 0 || length < 0 || address + length > kFailingAddress) Fail(what, address);
    }
};

}  // namespace nox_test
