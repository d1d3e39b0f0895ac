/*
 * Control entry points of the virtual frame grabber, for tests and tools.
 * They live in libvexo_hal.so beside the hardware library's entry points and
 * act on the same simulator the board libraries serve: the instance named by
 * VEXO_SIM_INSTANCE ("default"; "private" keeps it inside the process), which
 * every process of the user that names it shares. Boards and physical camera
 * ports are numbered from 0; every call returns 0 or -1.
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
 * every board in its power-on state, as a new generation of the instance:
 * sessions opened before answer -1 from then on. A rejected topology is
 * reported on stderr, leaves the instance as it was and this process no board. */
VEXOSIM_API int32_t vexosim_load_topology(const char *jsonText);

/* Plugs (1) or unplugs (0) the cable on a physical port. */
VEXOSIM_API int32_t vexosim_plug(uint32_t board, uint32_t port, int32_t plugged);

/* The camera answers the next `count` commands arriving on the physical port
 * with the fault. CoaXPress: "no_ack", "wait_ack:<ms>", "tentative_ack",
 * "malformed_ack", "bad_crc_ack", "ack_code:<hex>", "delay_ack:<ms>",
 * "wrong_tag" (a tagged answer carries the command's tag + 1). Camera Link (on
 * the camera's connector): "no_ack", "pending_ack:<ms>", "busy_echo:<ms>"
 * (reads only), "status:<hex>", "garbage:<n>", "split:<ms>", "wrong_id",
 * "truncate:<n>". Camera Link HS (counting the events each names): "no_ack",
 * "pending_ack:<ms>", "status:<hex>", "tx_busy:<ms>", "tx_full", "send_fail",
 * "rx_fail", "reject_device_id", "mdio_error:<n>". Count 0 clears it; a kind
 * the board does not know: -1. */
VEXOSIM_API int32_t vexosim_fault(uint32_t board, uint32_t port, const char *kind, uint32_t count);

/* Adds transceiver errors to the port's link while it is locked; 0 stops. */
VEXOSIM_API int32_t vexosim_link_noise(uint32_t board, uint32_t port, uint32_t errorsPerMs);

VEXOSIM_API int32_t vexosim_stats(uint32_t board, uint32_t port, vexosim_port_stats *out);

/* Camera Link boards: the serial port is held by another program (1), so that
 * OpenSerialPort answers -28, or free again (0). */
VEXOSIM_API int32_t vexosim_serial_claim(uint32_t board, uint32_t port, int32_t held);

/* The board's inter-process lock: one program at a time on its control
 * channels. Shared by every process of the instance, recursive for the thread
 * that holds it (each lock needs its unlock), waited for at most timeoutMs; a
 * holder that dies leaves it free. 0 when taken, -1 when not (timeout, no
 * board). Unlock: 0, or -1 when the calling thread does not hold it. */
VEXOSIM_API int32_t vexosim_lock_board(uint32_t board, uint32_t timeoutMs);
VEXOSIM_API int32_t vexosim_unlock_board(uint32_t board);

/* Deletes the instance of VEXO_SIM_INSTANCE (not "private"); processes that
 * use it keep their boards, the next process builds a new one. 0 when there
 * was one to delete. */
VEXOSIM_API int32_t vexosim_remove_instance(void);

#ifdef __cplusplus
}
#endif

#endif
