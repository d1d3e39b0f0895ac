#pragma once
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace vexo::templates::platform {

// The objects of one kind that are alive, so that an address handed in from
// outside (a handle) can be told from a freed or made-up one before it is
// used, and so that an object in use is not deleted under its user.
//
// A lookup pins what it finds: a pinned object stays whole until the pin is
// released. Withdrawing an object takes it out of the lookups at once; its
// owner then waits for its pins to go (AwaitUnpinned), or leaves its deletion
// to the release of the last pin (Retire).
//
// The set's lock guards only its bookkeeping. The one lock taken under it is
// that of another set, for a lookup that pins an object together with its
// owner (cameras before boards); nothing is deleted while it is held.
template <class Object>
class LiveObjectSet {
public:
    using Disposer = void (*)(Object *);

    // A held object; move-only. Converts to the object's address while held
    // in a variable, never as a temporary, so a pin cannot be dropped by accident
    // while its object is still used.
    class Pin {
    public:
        Pin() = default;
        Pin(Pin &&other) noexcept
            : set_(std::exchange(other.set_, nullptr)), object_(std::exchange(other.object_, nullptr)) {}
        Pin &operator=(Pin &&other) noexcept {
            if (this != &other) {
                Release();
                set_ = std::exchange(other.set_, nullptr);
                object_ = std::exchange(other.object_, nullptr);
            }
            return *this;
        }
        ~Pin() { Release(); }
        Pin(const Pin &) = delete;
        Pin &operator=(const Pin &) = delete;

        Object *get() const { return object_; }
        Object *operator->() const { return object_; }
        Object &operator*() const { return *object_; }
        operator Object *() const & { return object_; }
        operator Object *() const && = delete;
        bool operator==(std::nullptr_t) const { return object_ == nullptr; }

        // Lets go early; the object may be deleted before this returns.
        void Release() {
            if (object_ == nullptr) return;
            LiveObjectSet *set = std::exchange(set_, nullptr);
            set->Unpin(std::exchange(object_, nullptr));
        }

    private:
        friend class LiveObjectSet;
        Pin(LiveObjectSet *set, Object *object) : set_(set), object_(object) {}

        LiveObjectSet *set_ = nullptr;
        Object *object_ = nullptr;
    };

    // The object is live from here until it is withdrawn.
    void Add(Object *object) {
        std::lock_guard<std::mutex> lock(mutex_);
        entries_.push_back(Entry{object});
    }

    // The live object at that address, pinned; an empty pin when there is
    // none. The address is only compared, never followed.
    Pin Find(const void *address) {
        std::lock_guard<std::mutex> lock(mutex_);
        Entry *entry = LiveEntry(address);
        if (entry == nullptr) return {};
        ++entry->pins;
        return Pin(this, entry->object);
    }

    // As Find, and `tie` (object -> a pin of something the object needs, such
    // as its owner) is taken while the object cannot leave the set; when the
    // tie comes back empty the object is not pinned either.
    template <class Tie>
    std::pair<Tie, Pin> FindTied(const void *address, Tie (*tie)(Object *)) {
        std::lock_guard<std::mutex> lock(mutex_);
        Entry *entry = LiveEntry(address);
        if (entry == nullptr) return {};
        Tie tied = tie(entry->object);
        if (tied == nullptr) return {};
        ++entry->pins;
        return {std::move(tied), Pin(this, entry->object)};
    }

    bool IsLive(const Object *object) {
        std::lock_guard<std::mutex> lock(mutex_);
        return LiveEntry(object) != nullptr;
    }

    // Takes the object `pin` holds out of the lookups and lets the pin go.
    // False when it was out already: of two callers only one withdraws it.
    bool Withdraw(Pin pin) {
        if (pin == nullptr) return false;
        std::lock_guard<std::mutex> lock(mutex_);
        Entry *entry = EntryOf(pin.get());
        const bool wasLive = entry->live;
        entry->live = false;
        return wasLive;
    }

    // Waits for the last pin of a withdrawn object to go, at most `patience`
    // (none: until it happens; every pin belongs to a call that ends on its
    // own). True when none is left: the set has forgotten the object and the
    // caller may delete it.
    bool AwaitUnpinned(const Object *object, std::optional<std::chrono::milliseconds> patience) {
        std::unique_lock<std::mutex> lock(mutex_);
        const auto unpinned = [&] {
            const Entry *entry = EntryOf(object);
            return entry == nullptr || entry->pins == 0;
        };
        if (!patience) unpinned_.wait(lock, unpinned);
        else if (!unpinned_.wait_for(lock, *patience, unpinned)) return false;
        Erase(object);
        return true;
    }

    // Withdraws an object its caller owns and disposes of it now when nothing
    // pins it, else on the release of its last pin (by whoever lets go last).
    void Retire(Object *object, Disposer dispose) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            Entry *entry = EntryOf(object);
            if (entry != nullptr && entry->pins != 0) {
                entry->live = false;
                entry->disposeOnLastRelease = dispose;
                return;
            }
            Erase(object);
        }
        dispose(object);
    }

    // For an object's destructor: withdraws it and waits for its pins. Nothing
    // to do for an object the set has forgotten already.
    void Forget(const Object *object) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            Entry *entry = EntryOf(object);
            if (entry == nullptr) return;
            entry->live = false;
        }
        AwaitUnpinned(object, std::nullopt);
    }

private:
    struct Entry {
        Object *object;
        size_t pins = 0;
        bool live = true;
        Disposer disposeOnLastRelease = nullptr;
    };

    Entry *EntryOf(const void *address) {
        for (Entry &entry : entries_)
            if (static_cast<const void *>(entry.object) == address) return &entry;
        return nullptr;
    }
    Entry *LiveEntry(const void *address) {
        if (address == nullptr) return nullptr;
        Entry *entry = EntryOf(address);
        return entry != nullptr && entry->live ? entry : nullptr;
    }
    void Erase(const void *address) {
        for (auto it = entries_.begin(); it != entries_.end(); ++it)
            if (static_cast<const void *>(it->object) == address) {
                entries_.erase(it);
                return;
            }
    }

    void Unpin(Object *object) {
        Disposer dispose = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            Entry *entry = EntryOf(object);
            if (--entry->pins != 0 || entry->live) return;
            dispose = entry->disposeOnLastRelease;
            if (dispose != nullptr) Erase(object);
            else unpinned_.notify_all();
        }
        if (dispose != nullptr) dispose(object);
    }

    std::mutex mutex_;
    std::condition_variable unpinned_;
    std::vector<Entry> entries_;
};

}  // namespace vexo::templates::platform
