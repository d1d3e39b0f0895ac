#pragma once
// Private to src/genapi.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "genapi/DescriptionFacts.h"

namespace vexo::genicam::genapi {

// The camera registers a node map keeps between accesses, by the rules of
// their description:
//
//   Cachable      WriteThrough keeps what is read and what is written,
//                 WriteAround keeps what is read and forgets on a write,
//                 NoCache keeps nothing (a register without Cachable is
//                 WriteThrough)
//   PollingTime   a kept value older than that many milliseconds is read again
//   pInvalidator  a write that reaches a node the invalidator's value depends
//                 on (a register by its address, any other node by its name)
//                 forgets the register
//
// Only registers at an address the description fixes are kept: one moved by
// a selector or a formula is read every time. Any write forgets every kept
// register it overlaps. Not thread-safe: the node map serialises its use.
class RegisterCache {
public:
    explicit RegisterCache(const DescriptionFacts &facts);

    // Fills the buffer with a kept value; false when there is none.
    bool Read(uint64_t address, uint32_t length, void *buffer);
    // A value read from the camera, kept when its register may be.
    void StoreRead(uint64_t address, uint32_t length, const void *buffer);
    // A value written to the camera; forgets what the write changes or invalidates.
    void StoreWrite(uint64_t address, uint32_t length, const void *buffer);
    // An access that failed leaves the register's value unknown.
    void Forget(uint64_t address, uint32_t length);
    // A node written through the layer whose value lives outside the camera
    // (a constant the description lets the host change).
    void NodeWritten(const std::string &name);
    // Forgets everything.
    void Clear();

    // While a bypass lasts, reads go to the camera (and refresh what is kept).
    class Bypass {
    public:
        explicit Bypass(RegisterCache &cache) : cache_(cache), was_(cache.bypassed_) { cache.bypassed_ = true; }
        ~Bypass() { cache_.bypassed_ = was_; }
        Bypass(const Bypass &) = delete;
        Bypass &operator=(const Bypass &) = delete;

    private:
        RegisterCache &cache_;
        bool was_;
    };

private:
    using Clock = std::chrono::steady_clock;

    struct Entry {
        uint64_t address = 0;
        uint32_t length = 0;
        Cachable cachable = Cachable::NoCache;
        std::optional<Clock::duration> lifetime;
        bool valid = false;
        Clock::time_point stored;
        std::vector<uint8_t> bytes;
    };
    // A write overlapping [begin, end) forgets the entry.
    struct Watch {
        uint64_t begin, end;
        size_t entry;
    };

    struct KeyHash {
        size_t operator()(const std::pair<uint64_t, uint32_t> &key) const {
            return std::hash<uint64_t>()(key.first * 0x9E3779B97F4A7C15ull ^ key.second);
        }
    };

    Entry *Find(uint64_t address, uint32_t length);
    size_t AddEntry(const RegisterFacts &facts);
    void WatchInvalidators(const DescriptionFacts &facts, size_t node, const std::vector<size_t> &entries);
    void ForgetOverlapping(uint64_t address, uint32_t length);

    std::unordered_map<std::pair<uint64_t, uint32_t>, size_t, KeyHash> byKey_;
    std::vector<Entry> entries_;
    std::vector<Watch> watches_;
    std::vector<size_t> forgetOnAnyWrite_;
    std::unordered_map<std::string, std::vector<size_t>> forgetOnNode_;
    bool bypassed_ = false;
};

}  // namespace vexo::genicam::genapi
