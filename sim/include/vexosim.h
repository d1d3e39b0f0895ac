/*
 * Control entry points of the virtual frame grabber, for tests and tools.
 * They live in libvexo_hal.so beside the hardware library's entry points and
 * act on the same simulator the board libraries serve. Boards and physical
 * camera ports are numbered from 0; every call returns 0 or -1.
 */
#ifndef VEXOSIM_H
#define VEXOSIM_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define VEXOSIM_API __attribute__((visibility("default")))
#else
#define VEXOSIM_API
#endif

/* Counters of one physical port's control channel, as the camera there saw it. */
typedef struct vexosim_port_stats {
    uint64_t commandsReceived; /* frames of the right shape with a valid CRC */
    uint64_t crcErrors;        /* frames dropped for their CRC, unanswered */
    uint64_t framingErrors;    /* frames dropped for their shape, unanswered */
    uint64_t acksSent;         /* acknowledgment packets, wait and tentative ones included */
    uint64_t bytesRead;        /* data bytes returned to reads */
    uint64_t bytesWritten;     /* data bytes taken from writes */
} vexosim_port_stats;

/* Replaces the topology (JSON text; null restores the default) and rebuilds
 * every board in its power-on state. A rejected topology is reported on stderr
 * and leaves no board served. Sessions opened before stay usable until closed. */
VEXOSIM_API int32_t vexosim_load_topology(const char *jsonText);

/* Plugs (1) or unplugs (0) the cable on a physical port. */
VEXOSIM_API int32_t vexosim_plug(uint32_t board, uint32_t port, int32_t plugged);

/* The camera answers the next `count` commands arriving on the physical port
 * with the fault: "no_ack", "wait_ack:<ms>", "tentative_ack", "malformed_ack",
 * "bad_crc_ack", "ack_code:<hex>", "delay_ack:<ms>", "wrong_tag" (a tagged
 * answer carries the command's tag + 1). Count 0 clears it. */
VEXOSIM_API int32_t vexosim_fault(uint32_t board, uint32_t port, const char *kind, uint32_t count);

/* Adds transceiver errors to the port's link while it is locked; 0 stops. */
VEXOSIM_API int32_t vexosim_link_noise(uint32_t board, uint32_t port, uint32_t errorsPerMs);

VEXOSIM_API int32_t vexosim_stats(uint32_t board, uint32_t port, vexosim_port_stats *out);

#ifdef __cplusplus
}
#endif

#endif
