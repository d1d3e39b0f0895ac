/*
 * What the C tests of the exported interface share: checks that count their
 * failures, and the road to an opened and scanned board of the virtual frame
 * grabber. Each test program includes it once.
 */
#ifndef EXPORTED_ROAD_H
#define EXPORTED_ROAD_H

#include <stdio.h>
#include <string.h>

#include "grablib5.h"
#include "nox_genicam.h"
#include "vexosim.h"

static int failures = 0;

#define CHECK(condition)                                                              \
    do {                                                                              \
        if (!(condition)) {                                                           \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            ++failures;                                                               \
        }                                                                             \
    } while (0)
#define CHECK_STATUS(expected, call)                                                                   \
    do {                                                                                               \
        int32_t status_ = (call);                                                                      \
        if (status_ != (expected)) {                                                                   \
            fprintf(stderr, "%s:%d: %s returned %d, expected %d\n", __FILE__, __LINE__, #call, status_, \
                    (int)(expected));                                                                  \
            ++failures;                                                                                \
        }                                                                                              \
    } while (0)

/* Default topology: a 2-link camera on ports 0 and 1, a 1-link camera on port 2, operators [0,1], [2], [3]. */
typedef struct Road {
    GrabberSession *session;
    NoxBoardHandle *board;
    NoxCameraHandle *cameras[4];
} Road;

/* Opens and scans one board of the topology in force. */
static inline int OpenRoadAt(Road *road, uint32_t boardIndex) {
    memset(road, 0, sizeof *road);
    road->session = OpenGrabber(boardIndex);
    CHECK(road->session != NULL);
    CHECK_STATUS(ERR_NONE, Nox_initBoardEx(road->session, 0, &road->board, 0xF));
    CHECK(road->board != NULL);
    if (road->board == NULL) return 0;
    CHECK_STATUS(ERR_NONE, Nox_scanPorts(road->board, 0xF, 0, 0));
    for (uint32_t i = 0; i < 4; ++i) CHECK_STATUS(ERR_NONE, Nox_getCameraByIndex(road->board, i, &road->cameras[i]));
    return 1;
}

static inline int OpenRoad(Road *road, const char *topology) {
    if (vexosim_load_topology(topology) != 0) return 0;
    return OpenRoadAt(road, 0);
}

static inline void CloseRoad(Road *road) {
    Nox_freeBoard(road->board);
    CloseGrabber(road->session);
}

#endif
