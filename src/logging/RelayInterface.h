#pragma once
// The calling interface between the library and a log relay. The relay
// exports "logging_dispatcher_descriptor", a RelayDescriptor.
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// From the relay: it is going away; no more writes.
typedef void (*RelayDetachNotification)(void);
// From the relay: the logger of this identity now passes levels >= threshold.
typedef void (*RelayThresholdNotification)(uint64_t identity, uint32_t threshold);
// To the relay: identity and initial threshold of a logger name.
typedef void (*RelayRegisterFunction)(const char *name, uint64_t *identity, uint32_t *threshold);
// To the relay: one finished record.
typedef void (*RelayWriteFunction)(uint64_t identity, uint32_t level, const char *text, uint32_t value,
                                   void *pointer);

typedef void (*RelayAttachFunction)(void *context, RelayDetachNotification onDetach,
                                    RelayThresholdNotification onThreshold, RelayRegisterFunction *registerOut,
                                    RelayWriteFunction *writeOut);
typedef void (*RelayDetachFunction)(void *context);

typedef struct RelayDescriptor {
    RelayAttachFunction attach;
    RelayDetachFunction detach;
} RelayDescriptor;

#define RELAY_DESCRIPTOR_SYMBOL "logging_dispatcher_descriptor"

#ifdef __cplusplus
}
#endif
