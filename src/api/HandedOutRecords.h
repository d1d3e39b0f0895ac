#pragma once
#include <memory>
#include <mutex>
#include <unordered_map>

namespace vexo::genicam {

// Records the library hands to the application until it gives them back: the
// application sees a record's `handed` member, and the record keeps the storage
// that member's pointers point into. An address that was not handed out, or was
// given back already, is told apart before anything is done with it. Its lock
// is taken alone.
template <class Record>
class HandedOutRecords {
public:
    using Public = decltype(Record::handed);

    Public *Keep(std::unique_ptr<Record> record) {
        Public *handed = &record->handed;
        std::lock_guard<std::mutex> lock(mutex_);
        records_.emplace(handed, std::move(record));
        return handed;
    }

    // False for an address that names no record handed out.
    bool Free(const Public *handed) {
        std::unique_ptr<Record> record;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto found = records_.find(handed);
            if (found == records_.end()) return false;
            record = std::move(found->second);
            records_.erase(found);
        }
        return true;  // destroyed here, outside the lock
    }

private:
    std::mutex mutex_;
    std::unordered_map<const Public *, std::unique_ptr<Record>> records_;
};

// The one keeper of the records of that kind.
template <class Record>
HandedOutRecords<Record> &HandedOut() {
    static HandedOutRecords<Record> records;
    return records;
}

}  // namespace vexo::genicam
