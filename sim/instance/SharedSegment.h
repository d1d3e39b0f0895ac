#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "instance/SegmentLayout.h"

namespace vexo::sim {

inline constexpr const char *kInstanceVariable = "VEXO_SIM_INSTANCE";
inline constexpr const char *kDefaultInstance = "default";
inline constexpr const char *kPrivateInstance = "private";

// The instance named by VEXO_SIM_INSTANCE ("default" when unset or empty),
// nothing when the name is not letters, digits, '-' and '_' (at most 64).
std::optional<std::string> InstanceInForce();

// The memory of one simulator instance, mapped into this process at a fixed
// place for its lifetime (it may grow, never move). "private" is anonymous
// memory of this process alone; any other name is a POSIX shared memory
// segment of the user, "/vexosim-<uid>-v<layout>-<name>".
//
// Building is serialised between processes by a file lock beside the
// segment, held from Open until Close: whoever holds it may build or rebuild
// the segment and read its header safely. The kernel drops it should the
// holder die.
class SharedSegment {
public:
    explicit SharedSegment(std::string instance);
    ~SharedSegment();
    SharedSegment(const SharedSegment &) = delete;
    SharedSegment &operator=(const SharedSegment &) = delete;

    const std::string &Instance() const { return instance_; }
    bool Private() const { return instance_ == kPrivateInstance; }
    std::string Name() const;  // the shared memory name, "/vexosim-..."
    // Which programs share the register locks of the instance's boards
    // (board_info::kLockScope): this process alone for "private", else the
    // programs of this instance.
    int64_t LockScope() const;

    // Takes the building lock (bounded) and maps the segment as it is, if it
    // exists. A text saying what failed otherwise.
    std::optional<std::string> Open();
    void Close();
    // Whether the segment holds a complete simulator of this layout.
    bool Ready() const;
    // Makes the segment `bytes` long, reserved at once (a /dev/shm without
    // room for it is a plain error) and mapped; the fixed part's contents
    // are those before (zero when new).
    std::optional<std::string> Reserve(uint64_t bytes);
    // Maps as much as the header says the segment holds.
    std::optional<std::string> MapWhole();

    SegmentLayout &Layout() const { return *reinterpret_cast<SegmentLayout *>(base_); }
    uint8_t *Base() const { return base_; }

    // Deletes the instance's segment and lock file; processes that mapped it keep their copy.
    static bool Remove(const std::string &instance);

private:
    std::optional<std::string> Map(uint64_t bytes);

    std::string instance_;
    uint8_t *base_ = nullptr;  // kMaxSegmentBytes of address space, reserved once
    uint64_t mapped_ = 0;
    int lockFile_ = -1;
    int segment_ = -1;
};

}  // namespace vexo::sim
