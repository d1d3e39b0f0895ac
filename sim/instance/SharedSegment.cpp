#include "instance/SharedSegment.h"

#include "protocol/BoardInfo.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace vexo::sim {
namespace {

constexpr size_t kMaxInstanceName = 64;
// Building takes milliseconds; a holder that keeps the lock this long is stuck.
constexpr std::chrono::seconds kBuildLockBound{10};

bool ValidInstanceName(const std::string &name) {
    if (name.empty() || name.size() > kMaxInstanceName) return false;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_')) return false;
    return true;
}

std::string SegmentName(const std::string &instance) {
    return "/vexosim-" + std::to_string(::getuid()) + "-v" + std::to_string(kLayoutVersion) + "-" + instance;
}

std::string LockName(const std::string &instance) { return SegmentName(instance) + ".lock"; }

std::string Failure(const std::string &what, int error) { return what + ": " + std::strerror(error); }

bool TakeFileLock(int fd) {
    const auto deadline = std::chrono::steady_clock::now() + kBuildLockBound;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace

std::optional<std::string> InstanceInForce() {
    const char *value = std::getenv(kInstanceVariable);
    const std::string name = value && *value ? value : kDefaultInstance;
    if (!ValidInstanceName(name)) return std::nullopt;
    return name;
}

SharedSegment::SharedSegment(std::string instance) : instance_(std::move(instance)) {
    // A private simulator's memory is ready at once, page by page as it is touched.
    const int protection = Private() ? PROT_READ | PROT_WRITE : PROT_NONE;
    void *range = ::mmap(nullptr, kMaxSegmentBytes, protection, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (range != MAP_FAILED) base_ = static_cast<uint8_t *>(range);
    if (Private() && base_) mapped_ = kMaxSegmentBytes;
}

// Mappings stay: views of the boards may still point into them.
SharedSegment::~SharedSegment() { Close(); }

std::string SharedSegment::Name() const { return SegmentName(instance_); }

int64_t SharedSegment::LockScope() const {
    if (Private()) return protocol::board_info::kProcessScope;
    // FNV-1a of the segment's name (user, layout and instance), kept clear of the reserved scopes.
    uint64_t hash = 14695981039346656037ull;
    for (const char c : Name()) hash = (hash ^ static_cast<uint8_t>(c)) * 1099511628211ull;
    return static_cast<int64_t>(hash >> 2) + protocol::board_info::kProcessScope + 1;
}

std::optional<std::string> SharedSegment::Open() {
    if (!base_) return std::string("no address space for the simulator");
    if (Private()) return std::nullopt;
    const std::string lockName = LockName(instance_);
    lockFile_ = ::shm_open(lockName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFile_ < 0) return Failure("cannot open " + lockName, errno);
    if (!TakeFileLock(lockFile_)) {
        Close();
        return "instance \"" + instance_ + "\" is being built by a process that does not finish";
    }
    segment_ = ::shm_open(Name().c_str(), O_RDWR | O_CLOEXEC, 0600);
    if (segment_ < 0 && errno != ENOENT) return Failure("cannot open " + Name(), errno);
    if (segment_ < 0) return std::nullopt;
    struct stat status {};
    if (::fstat(segment_, &status) != 0) return Failure("cannot read " + Name(), errno);
    if (uint64_t(status.st_size) >= sizeof(SegmentLayout) && uint64_t(status.st_size) <= kMaxSegmentBytes)
        return Map(uint64_t(status.st_size));
    return std::nullopt;
}

void SharedSegment::Close() {
    if (segment_ >= 0) ::close(segment_);
    if (lockFile_ >= 0) ::close(lockFile_);  // drops the file lock
    segment_ = lockFile_ = -1;
}

bool SharedSegment::Ready() const {
    if (mapped_ < sizeof(SegmentLayout)) return false;
    const SegmentHeader &header = Layout().header;
    return header.magic == kSegmentMagic && header.layoutVersion == kLayoutVersion &&
           __atomic_load_n(&header.ready, __ATOMIC_ACQUIRE) != 0 && header.totalBytes <= mapped_;
}

std::optional<std::string> SharedSegment::Reserve(uint64_t bytes) {
    if (bytes > kMaxSegmentBytes) return "the simulator needs " + std::to_string(bytes >> 20) + " MiB, more than its limit";
    if (Private()) return std::nullopt;
    bool created = false;
    if (segment_ < 0) {
        // Exclusive: only the holder of the building lock gets here, and no segment existed.
        segment_ = ::shm_open(Name().c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (segment_ < 0) return Failure("cannot create " + Name(), errno);
        created = true;
    }
    struct stat status {};
    if (::fstat(segment_, &status) != 0) return Failure("cannot read " + Name(), errno);
    if (uint64_t(status.st_size) < bytes) {
        // Reserved whole now: a segment short of memory would fail later, as a bus error in whoever touched it.
        const int error = ::posix_fallocate(segment_, 0, off_t(bytes));
        if (error != 0) {
            if (created) ::shm_unlink(Name().c_str());
            if (error == ENOSPC)
                return "/dev/shm has no room for the simulator instance \"" + instance_ + "\" (" +
                       std::to_string((bytes + (1 << 20) - 1) >> 20) + " MiB needed; see df /dev/shm)";
            return Failure("cannot reserve " + std::to_string(bytes) + " bytes for " + Name(), error);
        }
    }
    return Map(std::max<uint64_t>(bytes, uint64_t(status.st_size)));
}

std::optional<std::string> SharedSegment::MapWhole() {
    if (Private()) return std::nullopt;
    return Map(Layout().header.totalBytes);
}

std::optional<std::string> SharedSegment::Map(uint64_t bytes) {
    if (bytes <= mapped_) return std::nullopt;
    if (segment_ < 0 || bytes > kMaxSegmentBytes) return "cannot map " + Name();
    void *mapping = ::mmap(base_, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, segment_, 0);
    if (mapping == MAP_FAILED) return Failure("cannot map " + Name(), errno);
    mapped_ = bytes;
    return std::nullopt;
}

bool SharedSegment::Remove(const std::string &instance) {
    if (instance == kPrivateInstance) return false;
    const bool removed = ::shm_unlink(SegmentName(instance).c_str()) == 0;
    ::shm_unlink(LockName(instance).c_str());
    return removed;
}

}  // namespace vexo::sim
