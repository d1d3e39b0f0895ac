#define _POSIX_C_SOURCE 200809L
/*
 * The exported board, camera, register and property functions, driven from C
 * through the public header against the virtual frame grabber.
 * Usage: exported_interface_test <case>; exit status 0 on success.
 */
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "ExportedRoad.h"

/* Polls the board's lock mask (no camera traffic) until the port is reported unlocked; bounded. */
static int WaitUntilUnlocked(NoxBoardHandle *board, uint32_t port) {
    const struct timespec pause = {0, 5 * 1000 * 1000};
    for (int attempt = 0; attempt < 1000; ++attempt) {
        uint32_t mask = 0xFFFFFFFFu;
        if (Nox_getBoardPropertyWithType(board, "TransceiversLockedMask", &mask, 1, 0) == 0 && (mask & (1u << port)) == 0)
            return 1;
        nanosleep(&pause, NULL);
    }
    return 0;
}

static uint64_t CommandsReceived(uint32_t port) {
    vexosim_port_stats stats;
    memset(&stats, 0, sizeof stats);
    vexosim_stats(0, port, &stats);
    return stats.commandsReceived;
}

/* ---- The discovery road ------------------------------------------------------------------------ */

static void DiscoveryRoad(void) {
    GenICamInit();
    Road road;
    if (!OpenRoad(&road, NULL)) return;
    CHECK_STATUS(3, Nox_getCameraCount(road.board));

    NoxCameraInfo *info = Nox_getCameraInfo(road.cameras[0]);
    CHECK(info != NULL);
    if (info != NULL) {
        CHECK(info->vendorName && strcmp(info->vendorName, "Vexo Vision") == 0);
        CHECK(info->modelName && strcmp(info->modelName, "VX-12M") == 0);
        CHECK(info->serialNumber && strcmp(info->serialNumber, "SN0001") == 0);
        CHECK(info->firmwareVersion && strcmp(info->firmwareVersion, "2.3.1") == 0);
        CHECK(info->manufacturerInfo && strcmp(info->manufacturerInfo, "virtual camera") == 0);
    }
    for (uint32_t i = 0; i < 2; ++i) {
        CHECK_STATUS(ERR_NONE, Nox_LinkConnect(road.board, road.cameras[i]));
        CHECK_STATUS(1, Nox_isCameraAvailableAtIndex(road.board, i));
    }
    CHECK_STATUS(1, Nox_isCameraAvailable(road.board, 0));
    CHECK_STATUS(1, Nox_isCameraAvailable(road.board, 2));

    uint32_t value = 0;
    CHECK_STATUS(ERR_NONE, Nox_registerReadFromCamera(road.cameras[1], &value, 0x0000));
    CHECK(value == 0xC0A79AE5u);
    CHECK_STATUS(ERR_NONE, Nox_DirectRegisterRead(road.board, 0, 0x0000, &value));
    CHECK(value == 0xC0A79AE5u);

    /* The writable user id: written through the camera, read back directly. */
    const char id[16] = "line-3-cam-A";
    char back[17] = {0};
    uint32_t length = 16;
    CHECK_STATUS(ERR_NONE, Nox_memoryWriteToCamera(road.cameras[0], id, 0x20C0, 16));
    CHECK_STATUS(ERR_NONE, Nox_DirectRegisterReadMem(road.board, 0, 0x20C0, back, &length));
    CHECK(memcmp(back, id, 16) == 0);
    CHECK_STATUS(ERR_NONE, Nox_stringReadFromCamera(road.cameras[0], back, 0x2000, 11));
    CHECK(strncmp(back, "Vexo Vision", 11) == 0);

    CHECK_STATUS(ERR_NONE, Nox_LinkDisconnect(road.cameras[1]));
    CloseRoad(&road);
    GenICamDeinit();
}

static void CameraListEdges(void) {
    Road road;
    if (!OpenRoad(&road, NULL)) return;
    NoxCameraHandle *camera = (NoxCameraHandle *)1;
    CHECK_STATUS(ERR_NONE, Nox_getCameraByIndex(road.board, 7, &camera));
    CHECK(camera == NULL);
    /* The placeholder of the free operator on port 3 is no camera. */
    CHECK(road.cameras[2] != NULL);
    CHECK_STATUS(0, Nox_isCameraAvailable(road.board, 3));
    CHECK_STATUS(0, Nox_isCameraAvailableAtIndex(road.board, 2));
    CHECK(Nox_getCameraInfo(road.cameras[2]) == NULL);
    NoxCameraHandle *first = NULL, *second = NULL;
    CHECK_STATUS(ERR_NONE, Nox_getCamera(road.board, 2, &first));
    CHECK_STATUS(ERR_NONE, Nox_getCamera(road.board, 2, &second));
    CHECK(first == road.cameras[1] && second == first);
    /* Power command 5 switches nothing. */
    uint32_t state = 0;
    CHECK_STATUS(ERR_NONE, Nox_powerSwitchExt(road.board, 0x1, 5));
    CHECK_STATUS(ERR_NONE, Nox_getBoardPropertyWithType(road.board, "CxpPowerStatus", &state, 1, 0));
    CHECK(state == 5); /* family C: on, with a camera drawing power */
    /* No Ethernet PHYs on a CoaXPress board. */
    uint32_t phy[2] = {0, 1};
    CHECK_STATUS(-1, Nox_callInternalFunction(1, phy, NULL));
    CloseRoad(&road);
}

static void ConnectAllReturnsLastFailure(void) {
    /* No free operator, so no placeholder: operators [0,1] and [2,3]. */
    Road road;
    if (!OpenRoad(&road, "{\"boards\": [{\"model\": \"cxp4-c\", \"applet\": {\"operators\": [[0, 1], [2, 3]]},"
                         " \"cameras\": [{\"links\": [0, 1]}, {\"links\": [2], \"speeds\": [1250, 3125, 6250]}]}]}"))
        return;
    CHECK_STATUS(2, Nox_getCameraCount(road.board));
    CHECK_STATUS(ERR_NONE, Nox_LinkConnect(road.board, NULL));
    /* The first camera loses its cable: its connect fails, the second's succeeds, the call tells the failure. */
    vexosim_plug(0, 0, 0);
    vexosim_plug(0, 1, 0);
    const int32_t status = Nox_LinkConnect(road.board, NULL);
    CHECK(status != ERR_NONE);
    CHECK_STATUS(status, Nox_LinkConnect(road.board, road.cameras[0]));
    CHECK_STATUS(ERR_NONE, Nox_LinkConnect(road.board, road.cameras[1]));
    CloseRoad(&road);
}

static void RegisterEdges(void) {
    Road road;
    if (!OpenRoad(&road, NULL)) return;
    CHECK_STATUS(ERR_NONE, Nox_LinkConnect(road.board, road.cameras[1]));
    uint32_t value = 0;

    /* 6 bytes asked, 8 moved: whole words on the wire, 6 bytes into the caller's buffer. */
    vexosim_port_stats before, after;
    vexosim_stats(0, 2, &before);
    unsigned char bytes[8] = {0, 0, 0, 0, 0, 0, 0xAA, 0xBB};
    CHECK_STATUS(ERR_NONE, Nox_memoryReadFromCamera(road.cameras[1], bytes, 0x2000, 6));
    vexosim_stats(0, 2, &after);
    CHECK(after.bytesRead - before.bytesRead == 8);
    CHECK(memcmp(bytes, "Vexo V", 6) == 0 && bytes[6] == 0xAA && bytes[7] == 0xBB);

    /* An unplugged link is refused before anything reaches the wire, once the board has seen it go:
       link checks look at the transceiver at most every 100 ms. */
    vexosim_plug(0, 2, 0);
    const uint64_t commands = CommandsReceived(2);
    CHECK(WaitUntilUnlocked(road.board, 2));
    value = 0x12345678;
    CHECK_STATUS(ERR_STREAM_PACKET_SIZE_REJECTED, Nox_registerReadFromCamera(road.cameras[1], &value, 0x0000));
    CHECK_STATUS(ERR_STREAM_PACKET_SIZE_REJECTED, Nox_registerWriteToCamera(road.cameras[1], 1, 0x20C0));
    CHECK(value == 0x12345678u);
    CHECK(CommandsReceived(2) == commands);
    CloseRoad(&road);
}

static void Properties(void) {
    Road road;
    if (!OpenRoad(&road, NULL)) return;
    CHECK_STATUS(ERR_NONE, Nox_LinkConnect(road.board, road.cameras[0]));
    CHECK_STATUS(ERR_NONE, Nox_LinkConnect(road.board, road.cameras[1]));
    uint32_t value = 0, type = 0, index = 0;
    double volts = 0;
    CHECK_STATUS(ERR_NONE, Nox_getBoardPropertyWithType(road.board, "TransceiversLockedMask", &value, 1, 0));
    CHECK(value == 0x7);
    CHECK_STATUS(ERR_NONE, Nox_getBoardPropertyWithType(road.board, "NrOfCameras", &value, 1, 0));
    CHECK(value == 3);
    CHECK_STATUS(ERR_INVALID_DATA_TYPE, Nox_getBoardPropertyWithType(road.board, "CxpPowerVin", &volts, 1, 0));
    CHECK_STATUS(ERR_NONE, Nox_getBoardPropertyWithType(road.board, "CxpPowerVin", &volts, 2, 0));
    CHECK(volts > 23.9 && volts < 24.1);
    CHECK_STATUS(ERR_UNKNOWN_PROPERTY, Nox_getBoardPropertyWithType(road.board, "NoSuchProperty", &value, 1, 0));
    CHECK_STATUS(ERR_UNKNOWN_PROPERTY, Nox_setBoardPropertyWithType(road.board, "NrOfCameras", &value, 1, &index));

    /* Type discovery: a wrong type is refused, and the right one written. */
    type = 2;
    CHECK_STATUS(ERR_INVALID_DATA_TYPE, Nox_getCameraPropertyWithType(road.cameras[0], "LINKSPEED", &value, &type, &index));
    CHECK(type == 1);
    CHECK_STATUS(ERR_NONE, Nox_getCameraPropertyWithType(road.cameras[0], "LINKSPEED", &value, &type, &index));
    CHECK(value == 12500);
    CHECK_STATUS(ERR_NONE, Nox_getCameraPropertyWithType(road.cameras[0], "NROFLINKS", &value, &type, &index));
    CHECK(value == 2);
    index = 1;
    CHECK_STATUS(ERR_NONE, Nox_getCameraPropertyWithType(road.cameras[0], "FGPORT", &value, &type, &index));
    CHECK(value == 1);
    CHECK_STATUS(ERR_NONE, Nox_getCameraPropertyWithType(road.cameras[0], "MASTERLINK", &value, &type, &index));
    CHECK(value == 0);
    CHECK_STATUS(ERR_INVALID_ARGUMENT, Nox_getCameraPropertyWithType(road.cameras[0], "FGPORT", &value, &type, NULL));
    index = 9;
    CHECK_STATUS(ERR_INVALID_ARGUMENT, Nox_getCameraPropertyWithType(road.cameras[0], "APPLETPORT", &value, &type, &index));
    CHECK_STATUS(ERR_NONE, Nox_getCameraPropertyWithType(road.cameras[0], "ISTRANSCEIVERLOCKED", &value, &type, &index));
    CHECK(value == 1);
    type = 1;
    CHECK_STATUS(ERR_UNKNOWN_PROPERTY, Nox_getCameraPropertyWithType(road.cameras[0], "COLOR", &value, &type, &index));
    CHECK(type == 0xFFFFFFFFu);

    /* Setters' refusals. */
    value = 1;
    CHECK_STATUS(ERR_INVALID_LINK_INDEX, Nox_setCameraPropertyWithType(road.cameras[0], "MASTERLINK", &value, 1, &index));
    value = 0;
    CHECK_STATUS(ERR_NONE, Nox_setCameraPropertyWithType(road.cameras[0], "MASTERLINK", &value, 1, &index));
    CHECK_STATUS(ERR_INVALID_LINK_INDEX, Nox_setCameraPropertyWithType(road.cameras[0], "EXTENSIONLINK", &value, 1, &index));
    value = 3000;
    CHECK_STATUS(ERR_INVALID_LINK_SPEED, Nox_setCameraPropertyWithType(road.cameras[0], "LINKSPEED", &value, 1, &index));
    value = 5;
    CHECK_STATUS(ERR_INVALID_ARGUMENT, Nox_setCameraPropertyWithType(road.cameras[0], "NROFLINKS", &value, 1, &index));
    CHECK_STATUS(ERR_UNKNOWN_PROPERTY, Nox_setCameraPropertyWithType(road.cameras[0], "DISCOVERYSPEED", &value, 1, &index));
    value = 2;
    index = 1;
    CHECK_STATUS(ERR_INVALID_ARGUMENT, Nox_setCameraPropertyWithType(road.cameras[0], "LINKORDERINDEX", &value, 1, &index));
    CHECK_STATUS(ERR_UNKNOWN_PROPERTY, Nox_setCameraPropertyWithType(road.cameras[0], "LINKORDERINDEX", &value, 1, NULL));
    CloseRoad(&road);

    /* A 2-port board reports no lock on the ports it does not have. */
    const int opened =
        OpenRoad(&road, "{\"boards\": [{\"model\": \"cxp2-c\", \"cameras\": [{\"links\": [0]}, {\"links\": [1]}]}]}");
    CHECK(opened);
    if (!opened) return;
    CHECK_STATUS(ERR_NONE, Nox_LinkConnect(road.board, NULL));
    CHECK_STATUS(ERR_NONE, Nox_getBoardPropertyWithType(road.board, "TransceiversLockedMask", &value, 1, 0));
    CHECK(value == 0x3);
    CloseRoad(&road);
}

/* Runs a link connect with standard output going to a temporary file; returns what was printed. */
static char *PrintedDuringLinkConnect(Road *road, NoxCameraHandle *camera) {
    fflush(stdout);
    FILE *capture = tmpfile();
    if (capture == NULL) return NULL;
    const int saved = dup(STDOUT_FILENO);
    dup2(fileno(capture), STDOUT_FILENO);
    CHECK_STATUS(ERR_NONE, Nox_LinkConnect(road->board, camera));
    fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    fseek(capture, 0, SEEK_END);
    long size = ftell(capture);
    if (size < 0) size = 0;
    char *text = calloc((size_t)size + 1, 1);
    rewind(capture);
    if (text != NULL && size > 0 && fread(text, 1, (size_t)size, capture) != (size_t)size) text[0] = '\0';
    fclose(capture);
    return text;
}

static void ConsoleTrace(void) {
    Road road;
    if (!OpenRoad(&road, NULL)) return;
    NoxConsoleTraceRequest trace = {road.board, 1};
    CHECK_STATUS(0, Nox_callInternalFunction(3, &trace, NULL));
    char *printed = PrintedDuringLinkConnect(&road, road.cameras[1]);
    CHECK(printed != NULL && strstr(printed, "] [LinkConnect       ] Entered.\n") != NULL);
    CHECK(printed != NULL && strstr(printed, "] [LinkConnect       ] Leaving.\n") != NULL);
    CHECK(printed != NULL && printed[0] == '[' && printed[4] == '.' && printed[8] == ']');
    free(printed);

    trace.enable = 0;
    CHECK_STATUS(0, Nox_callInternalFunction(3, &trace, NULL));
    printed = PrintedDuringLinkConnect(&road, road.cameras[1]);
    CHECK(printed != NULL && printed[0] == '\0');
    free(printed);
    CloseRoad(&road);
}

/* ---- Call trace ----------------------------------------------------------------------------------- */

static void TraceOfOneCall(void) {
    const char *file = getenv("VEXO_LOG_FILE");
    Road road;
    GenICamInit();
    if (!OpenRoad(&road, NULL)) return;
    NoxCameraHandle *camera = NULL;
    CHECK_STATUS(ERR_NONE, Nox_getCamera(road.board, 2, &camera));
    CHECK_STATUS(ERR_INVALID_BOARD_HANDLE, Nox_getCamera(NULL, 1, &camera));
    CloseRoad(&road);
    GenICamDeinit();
    if (file == NULL) return; /* logging off: the statuses above are the point */

    FILE *log = fopen(file, "r");
    CHECK(log != NULL);
    if (log == NULL) return;
    char expectedLeave[512], expectedEnter[512], expectedError[256];
    snprintf(expectedEnter, sizeof expectedEnter,
             ",board-index=0,board-serial=1000,board-type=3137,handle=(NoxBoardHandle*)%p,port-index=2|Entering Nox_getCamera",
             (void *)road.board);
    snprintf(expectedLeave, sizeof expectedLeave,
             ",handle=(NoxCameraHandle*)%p,return=0,board-index=0,board-serial=1000,board-type=3137,"
             "handle=(NoxBoardHandle*)%p,port-index=2|Leaving Nox_getCamera",
             (void *)camera, (void *)road.board);
    snprintf(expectedError, sizeof expectedError, ",handle=(NoxBoardHandle*)(nil),port-index=1|Invalid board handle");
    int entered = 0, left = 0, failedLeave = 0, error = 0;
    char line[4096];
    while (fgets(line, sizeof line, log) != NULL) {
        line[strcspn(line, "\n")] = '\0';
        const size_t length = strlen(line);
        if (strstr(line, "[trace] vexo.genicam.lib: source-file=") && strstr(line, ",source-line=") &&
            length > strlen(expectedEnter) && strcmp(line + length - strlen(expectedEnter), expectedEnter) == 0)
            ++entered;
        if (strstr(line, "[trace] vexo.genicam.lib: source-file=") && length > strlen(expectedLeave) &&
            strcmp(line + length - strlen(expectedLeave), expectedLeave) == 0)
            ++left;
        if (strstr(line, ",return=-1001,handle=(NoxBoardHandle*)(nil),port-index=1|Leaving Nox_getCamera")) ++failedLeave;
        if (strstr(line, "[error] vexo.genicam.lib: thread-id=") && length > strlen(expectedError) &&
            strcmp(line + length - strlen(expectedError), expectedError) == 0)
            ++error;
    }
    fclose(log);
    CHECK(entered == 1);
    CHECK(left == 1);
    CHECK(failedLeave == 1);
    CHECK(error == 1);
}

/* ---- Concurrency ---------------------------------------------------------------------------------- */

typedef struct Reader {
    NoxCameraHandle *camera;
    int errors;
} Reader;

static void *ReadRepeatedly(void *argument) {
    Reader *reader = (Reader *)argument;
    for (int i = 0; i < 300; ++i) {
        uint32_t value = 0;
        char vendor[12] = {0};
        if (Nox_registerReadFromCamera(reader->camera, &value, 0x0000) != 0 || value != 0xC0A79AE5u) ++reader->errors;
        if (Nox_memoryReadFromCamera(reader->camera, vendor, 0x2000, 11) != 0 || strcmp(vendor, "Vexo Vision") != 0)
            ++reader->errors;
    }
    return NULL;
}

static void ConcurrentReads(void) {
    Road road;
    if (!OpenRoad(&road, NULL)) return;
    CHECK_STATUS(ERR_NONE, Nox_LinkConnect(road.board, road.cameras[0]));
    CHECK_STATUS(ERR_NONE, Nox_LinkConnect(road.board, road.cameras[1]));
    Reader readers[4];
    pthread_t threads[4];
    for (int t = 0; t < 4; ++t) {
        readers[t].camera = road.cameras[t % 2];
        readers[t].errors = 0;
        pthread_create(&threads[t], NULL, ReadRepeatedly, &readers[t]);
    }
    for (int t = 0; t < 4; ++t) {
        pthread_join(threads[t], NULL);
        CHECK(readers[t].errors == 0);
    }
    for (uint32_t port = 0; port < 3; ++port) {
        vexosim_port_stats stats;
        vexosim_stats(0, port, &stats);
        CHECK(stats.crcErrors == 0);
        CHECK(stats.framingErrors == 0);
    }
    CloseRoad(&road);
}

int main(int argc, char **argv) {
    static const struct {
        const char *name;
        void (*run)(void);
    } cases[] = {
        {"discovery_road", DiscoveryRoad},
        {"camera_list", CameraListEdges},
        {"connect_all", ConnectAllReturnsLastFailure},
        {"registers", RegisterEdges},
        {"properties", Properties},
        {"trace", TraceOfOneCall},
        {"console_trace", ConsoleTrace},
        {"concurrent_reads", ConcurrentReads},
    };
    if (argc != 2) {
        fprintf(stderr, "usage: %s <case>\n", argv[0]);
        return 2;
    }
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        if (strcmp(argv[1], cases[i].name) != 0) continue;
        cases[i].run();
        if (failures != 0) fprintf(stderr, "%s: %d check(s) failed\n", argv[1], failures);
        return failures == 0 ? 0 : 1;
    }
    fprintf(stderr, "unknown case %s\n", argv[1]);
    return 2;
}
