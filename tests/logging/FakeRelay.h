#pragma once
// An in-process relay for tests: chosen identities and thresholds, records kept in memory.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "logging/RelayInterface.h"

namespace nox_test {

struct RelayRecord {
    uint64_t identity;
    uint32_t level;
    std::string text;
    uint32_t value;
    void *pointer;
};

struct FakeRelay {
    static inline std::map<std::string, uint64_t> identities;  // unknown names get 1000 + n
    static inline uint32_t initialThreshold = 3;
    static inline std::vector<RelayRecord> records;
    static inline RelayDetachNotification detachNotification = nullptr;
    static inline RelayThresholdNotification thresholdNotification = nullptr;
    static inline void *attachedContext = nullptr;
    static inline void *detachedContext = nullptr;

    static void Register(const char *name, uint64_t *identity, uint32_t *threshold) {
        auto [entry, added] = identities.emplace(name, 1000 + identities.size());
        *identity = entry->second;
        *threshold = initialThreshold;
    }
    static void Write(uint64_t identity, uint32_t level, const char *text, uint32_t value, void *pointer) {
        records.push_back({identity, level, text, value, pointer});
    }
    static void Attach(void *context, RelayDetachNotification onDetach, RelayThresholdNotification onThreshold,
                       RelayRegisterFunction *registerOut, RelayWriteFunction *writeOut) {
        attachedContext = context;
        detachNotification = onDetach;
        thresholdNotification = onThreshold;
        *registerOut = &Register;
        *writeOut = &Write;
    }
    static void Detach(void *context) { detachedContext = context; }

    static const RelayDescriptor *Descriptor() {
        static const RelayDescriptor descriptor = {&Attach, &Detach};
        return &descriptor;
    }
};

}  // namespace nox_test
