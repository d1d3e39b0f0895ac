#pragma once

namespace GenApi {

// What a caller may do with a node or port now: not implemented, not
// available, write only, read only, read and write.
enum EAccessMode { NI = 0, NA = 1, WO = 2, RO = 3, RW = 4 };

// The common base of nodes and ports.
class IBase {
public:
    virtual ~IBase() = default;
    virtual EAccessMode GetAccessMode() const = 0;
};

inline bool IsReadable(EAccessMode mode) { return mode == RO || mode == RW; }
inline bool IsWritable(EAccessMode mode) { return mode == WO || mode == RW; }
inline bool IsAvailable(EAccessMode mode) { return mode != NI && mode != NA; }
inline bool IsImplemented(EAccessMode mode) { return mode != NI; }

// The same for an object that may be absent (a null object can do nothing).
inline bool IsReadable(const IBase *object) { return object && IsReadable(object->GetAccessMode()); }
inline bool IsWritable(const IBase *object) { return object && IsWritable(object->GetAccessMode()); }
inline bool IsAvailable(const IBase *object) { return object && IsAvailable(object->GetAccessMode()); }
inline bool IsImplemented(const IBase *object) { return object && IsImplemented(object->GetAccessMode()); }

}  // namespace GenApi
