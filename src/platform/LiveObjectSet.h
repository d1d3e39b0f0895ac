#pragma once
#include <algorithm>
#include <vector>

#include "platform/ReadWriteLock.h"

namespace vexo::templates::platform {

// The objects of one kind that are alive, so that an address handed in from
// outside (a handle) can be told from a freed or made-up one before it is
// used. Objects enter when they are built and leave before they are torn
// down. Its lock is taken alone, nothing else is locked while it is held, so
// it has no place in the order of the other locks; lookups share it.
template <class Object>
class LiveObjectSet {
public:
    void Add(Object *object) {
        ReadWriteLock::ExclusiveGuard guard(lock_);
        objects_.push_back(object);
    }

    void Remove(Object *object) {
        ReadWriteLock::ExclusiveGuard guard(lock_);
        objects_.erase(std::remove(objects_.begin(), objects_.end(), object), objects_.end());
    }

    // The live object at that address, or null. The address is only compared,
    // never followed.
    Object *Find(const void *address) const {
        if (address == nullptr) return nullptr;
        ReadWriteLock::SharedGuard guard(lock_);
        for (Object *object : objects_)
            if (static_cast<const void *>(object) == address) return object;
        return nullptr;
    }

private:
    mutable ReadWriteLock lock_;
    std::vector<Object *> objects_;
};

}  // namespace vexo::templates::platform
