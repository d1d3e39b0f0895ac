#define _POSIX_C_SOURCE 200809L
/*
 * Every exported function that takes a board or camera handle, called with a
 * null handle and with handles that name no live object: freed boards, cameras
 * of a freed board or of an earlier scan, made-up addresses and handles of the
 * other kind. Each must answer as for null, without following the handle (the
 * sanitizers would tell). Exit status 0 on success.
 */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ExportedRoad.h"

/* Every function that takes a board handle b, with the answer a null board gets; the other arguments
   valid, except where the case shows an earlier argument checked first. c is a live camera. */
#define BOARD_CALLS(X)                                                                                  \
    X(0, (Nox_freeBoard(b), 0))                                                                         \
    X(ERR_INVALID_PORT, Nox_scanPortsEx(b, 0, 0, 0, 0))                                                 \
    X(ERR_INVALID_BOARD_HANDLE, Nox_scanPortsEx(b, 0xF, 0, 0, 0))                                       \
    X(ERR_INVALID_BOARD_HANDLE, Nox_getCameraCount(b))                                                  \
    X(ERR_INVALID_BOARD_HANDLE, Nox_getCameraByIndex(b, 0, &camera))                                    \
    X(ERR_INVALID_BOARD_HANDLE, Nox_getCamera(b, 0, &camera))                                           \
    X(0, Nox_isCameraAvailable(b, 0))                                                                   \
    X(0, Nox_isCameraAvailableAtIndex(b, 0))                                                            \
    X(ERR_INVALID_PORT, Nox_powerSwitch(b, 0))                                                          \
    X(ERR_INVALID_BOARD_HANDLE, Nox_powerSwitch(b, 1))                                                  \
    X(ERR_INVALID_BOARD_HANDLE, Nox_LinkConnect(b, c))                                                  \
    X(ERR_INVALID_BOARD_HANDLE, Nox_RegisterEventCallback(b, NULL, NULL))                               \
    X(-1, Nox_callInternalFunction(3, &(NoxConsoleTraceRequest){b, 1}, NULL))                           \
    X(ERR_INVALID_DATA, Nox_DirectRegisterRead(b, 0, 0, NULL))                                          \
    X(ERR_INVALID_BOARD_HANDLE, Nox_DirectRegisterRead(b, 0, 0, &value))                                \
    X(ERR_INVALID_BOARD_HANDLE, Nox_DirectRegisterWrite(b, 0, 0x20C0, 1, 0))                            \
    X(ERR_INVALID_ARGUMENT, Nox_DirectRegisterReadMem(b, 0, 0, buffer, NULL))                           \
    X(ERR_INVALID_ARGUMENT, Nox_DirectRegisterReadMem(b, 0, 0, NULL, &length))                          \
    X(ERR_INVALID_BOARD_HANDLE, Nox_DirectRegisterReadMem(b, 0, 0, buffer, &length))                    \
    X(ERR_INVALID_DATA, Nox_DirectRegisterReadMem64(b, 0, 0, NULL, &length))                            \
    X(ERR_INVALID_DATA, Nox_DirectRegisterWriteMem(b, 0, 0, NULL, 4))                                   \
    X(ERR_INVALID_BOARD_HANDLE, Nox_DirectRegisterWriteMem(b, 0, 0x20C0, buffer, 4))                    \
    X(ERR_INVALID_BOARD_HANDLE, Nox_getBoardPropertyWithType(b, "NrOfCameras", &value, 1, 0))           \
    X(ERR_INVALID_ARGUMENT, Nox_setBoardPropertyWithType(b, "", &value, 1, &index))                     \
    X(ERR_INVALID_BOARD_HANDLE, Nox_setBoardPropertyWithType(b, "CLHSFecEnable", &value, 1, &index))    \
    X(ERR_INVALID_BOARD_HANDLE, Nox_SaveBoardConfiguration(b, "/nonexistent/links.xml"))                \
    X(ERR_INVALID_BOARD_HANDLE, Nox_LoadBoardConfiguration(b, "/nonexistent/links.xml"))                \
    X(ERR_INVALID_ARGUMENT, Nox_StoreLowLevelLinkProfile(b, "/nonexistent/board.profile"))              \
    X(ERR_INVALID_ARGUMENT, Nox_RestoreLowLevelLinkProfile(b, "/nonexistent/board.profile"))

/* Every function that takes a camera handle c, likewise; b is a live board. A camera that is not there
   makes Nox_LinkConnect connect every camera of the board. Of functions that share their checks (the
   64-bit, timeout and alias variants, the typed feature reads and writes) both lists hold one. */
#define CAMERA_CALLS(X)                                                                                 \
    X(0, Nox_getCameraInfo(c) != NULL)                                                                  \
    X(connectAll, Nox_LinkConnect(b, c))                                                                \
    X(ERR_INVALID_CAMERA_HANDLE, Nox_LinkDisconnect(c))                                                 \
    X(ERR_INVALID_CAMERA_HANDLE, Nox_disconnectCamera(c))                                               \
    X(ERR_INVALID_ARGUMENT, Nox_registerReadFromCamera(c, NULL, 0))                                     \
    X(ERR_INVALID_CAMERA_HANDLE, Nox_registerReadFromCamera(c, &value, 0))                              \
    X(ERR_INVALID_CAMERA_HANDLE, Nox_registerWriteToCamera(c, 1, 0x20C0))                               \
    X(ERR_INVALID_ARGUMENT, Nox_memoryReadFromCamera(c, NULL, 0, 4))                                    \
    X(ERR_INVALID_ARGUMENT, Nox_memoryReadFromCamera(c, buffer, 0, 0))                                  \
    X(ERR_INVALID_CAMERA_HANDLE, Nox_memoryReadFromCamera(c, buffer, 0, 4))                             \
    X(ERR_INVALID_CAMERA_HANDLE, Nox_memoryWriteToCamera(c, buffer, 0x20C0, 4))                         \
    X(ERR_INVALID_ARGUMENT, Nox_memoryWriteToCameraWithTimeout(c, buffer, 0x20C0, 0, 10))               \
    X(ERR_INVALID_CAMERA_HANDLE, Nox_memoryWriteToCameraWithTimeout(c, buffer, 0x20C0, 4, 10))          \
    X(ERR_INVALID_ARGUMENT, Nox_getCameraPropertyWithType(c, "", &value, &type, &index))                \
    X(ERR_INVALID_BOARD_HANDLE, (type = 1, Nox_getCameraPropertyWithType(c, "LINKSPEED", &value, &type, &index))) \
    X(1, type == 0xFFFFFFFFu) /* the type written by the call before */                                \
    X(ERR_INVALID_ARGUMENT, Nox_setCameraPropertyWithType(c, "LINKSPEED", &value, 1, &index))           \
    X(ERR_INVALID_CAMERA_HANDLE, Nox_getIntegerValue(c, "Width", &integer))                             \
    X(ERR_INVALID_CAMERA_HANDLE, Nox_setIntegerValue(c, "Width", 64))                                   \
    X(ERR_INVALID_CAMERA_HANDLE, Nox_getStringValue(c, "DeviceUserID", &text))                          \
    X(ERR_INVALID_CAMERA_HANDLE, Nox_getEnumerationValue(c, "PixelFormat", &integer))                   \
    X(ERR_INVALID_CAMERA_HANDLE, Nox_getEnumerationValueAsString(c, "PixelFormat", &text))              \
    X(ERR_INVALID_CAMERA_HANDLE, Nox_setEnumerationValue(c, "PixelFormat", "Mono8"))                    \
    X(ERR_INVALID_CAMERA_HANDLE, Nox_executeCommand(c, "TriggerSoftware"))                              \
    X(ERR_INVALID_CAMERA_HANDLE, Nox_isCommandDone(c, "TriggerSoftware", &value))                       \
    X(ERR_INVALID_CAMERA_HANDLE, Nox_startAcquisition(c))                                               \
    X(ERR_INVALID_CAMERA_HANDLE, Nox_connectCamera(c))                                                  \
    X(ERR_INVALID_CAMERA_HANDLE, Nox_connectCameraWithExternalXml(c, "/nonexistent/camera.xml"))        \
    X(ERR_INVALID_DATA, Nox_getGenICamXML(c, buffer, NULL))                                             \
    X(ERR_INVALID_CAMERA_HANDLE, Nox_getGenICamXML(c, NULL, &size))                                     \
    X(ERR_INVALID_DATA, Nox_setGenICamXML(c, "", 1))                                                    \
    X(ERR_INVALID_CAMERA_HANDLE, Nox_setGenICamXML(c, "<x/>", 4))                                       \
    X(ERR_INVALID_CAMERA_HANDLE, Nox_SaveCameraParameters(c, "/nonexistent/camera.txt"))                \
    X(ERR_INVALID_CAMERA_HANDLE, Nox_LoadCameraParameters(c, "/nonexistent/camera.txt", 0))

/* Runs the call with the handle variable null, then set to the stale handle: both must answer expected. */
#define CHECK_AS_NULL(variable, stale, expected, call)                                                  \
    do {                                                                                                \
        variable = NULL;                                                                                \
        const int32_t null_ = (int32_t)(call);                                                          \
        variable = (stale);                                                                             \
        const int32_t stale_ = (int32_t)(call);                                                         \
        if (null_ != (expected) || stale_ != (expected)) {                                              \
            fprintf(stderr, "%s with %p: null answers %d, stale %d, expected %d\n", #call, (void *)(stale), \
                    null_, stale_, (int)(expected));                                                    \
            ++failures;                                                                                 \
        }                                                                                               \
    } while (0)

static void BoardCallsAnswerAsNull(NoxBoardHandle *stale, NoxCameraHandle *c) {
    uint32_t value = 0, length = 4, index = 0;
    char buffer[16] = {0};
    NoxCameraHandle *camera = NULL;
    NoxBoardHandle *b = NULL;
#define BOARD_CASE(expected, call) CHECK_AS_NULL(b, stale, expected, call);
    BOARD_CALLS(BOARD_CASE)
#undef BOARD_CASE
    CHECK(camera == NULL);
}

static void CameraCallsAnswerAsNull(NoxCameraHandle *stale, NoxBoardHandle *b, int32_t connectAll) {
    uint32_t value = 0, type = 1, index = 0;
    int64_t integer = 0;
    const char *text = NULL;
    char buffer[16] = {0};
    size_t size = sizeof buffer;
    NoxCameraHandle *c = NULL;
#define CAMERA_CASE(expected, call) CHECK_AS_NULL(c, stale, expected, call);
    CAMERA_CALLS(CAMERA_CASE)
#undef CAMERA_CASE
}

/* Lines of the log file holding the text, and the other one too when it is given. */
static int CountLogLines(const char *file, const char *text, const char *also) {
    FILE *log = fopen(file, "r");
    CHECK(log != NULL);
    if (log == NULL) return -1;
    int count = 0;
    char line[4096];
    while (fgets(line, sizeof line, log) != NULL)
        if (strstr(line, text) != NULL && (also == NULL || strstr(line, also) != NULL)) ++count;
    fclose(log);
    return count;
}

/* Board 0 stays open; board 1, one camera and no free operator, is scanned again and freed. */
static const char kTwoBoards[] =
    "{\"boards\": [{\"model\": \"cxp4-c\", \"applet\": {\"operators\": [[0, 1], [2], [3]]},"
    "              \"cameras\": [{\"links\": [0, 1]}, {\"links\": [2]}]},"
    "             {\"model\": \"cxp4-c\", \"applet\": {\"operators\": [[0, 1]]}, \"cameras\": [{\"links\": [0, 1]}]}]}";

static void StaleHandles(void) {
    GenICamInit();
    Road live, doomed;
    if (vexosim_load_topology(kTwoBoards) != 0 || !OpenRoadAt(&live, 0) || !OpenRoadAt(&doomed, 1)) return;
    const int32_t connectAll = Nox_LinkConnect(live.board, NULL);

    /* Three cameras before the second scan (two made for empty ports), one after: at least two
       handles of the first are not in use again. */
    NoxCameraHandle *earlier[3] = {doomed.cameras[0], NULL, NULL};
    CHECK_STATUS(ERR_NONE, Nox_getCamera(doomed.board, 2, &earlier[1]));
    CHECK_STATUS(ERR_NONE, Nox_getCamera(doomed.board, 3, &earlier[2]));
    CHECK_STATUS(ERR_NONE, Nox_scanPorts(doomed.board, 0xF, 0, 0));
    CHECK_STATUS(1, Nox_getCameraCount(doomed.board));
    NoxCameraHandle *orphan = NULL;
    CHECK_STATUS(ERR_NONE, Nox_getCameraByIndex(doomed.board, 0, &orphan));
    int replaced = 0;
    for (int i = 0; i < 3; ++i) {
        if (earlier[i] == orphan) continue; /* an address in use again names the new camera */
        CameraCallsAnswerAsNull(earlier[i], live.board, connectAll);
        ++replaced;
    }
    CHECK(replaced >= 2);

    NoxBoardHandle *freed = doomed.board;
    CloseRoad(&doomed);
    BoardCallsAnswerAsNull(freed, live.cameras[0]);
    CameraCallsAnswerAsNull(orphan, live.board, connectAll);

    NoxBoardHandle *madeUpBoard = (NoxBoardHandle *)(uintptr_t)0xDEAD0;
    NoxCameraHandle *madeUpCamera = (NoxCameraHandle *)(uintptr_t)0xDEAD0;
    BoardCallsAnswerAsNull(madeUpBoard, live.cameras[0]);
    BoardCallsAnswerAsNull((NoxBoardHandle *)live.cameras[0], live.cameras[0]);
    CameraCallsAnswerAsNull(madeUpCamera, live.board, connectAll);
    CameraCallsAnswerAsNull((NoxCameraHandle *)live.board, live.board, connectAll);

    /* The live board and its cameras still answer. */
    CHECK_STATUS(3, Nox_getCameraCount(live.board));
    uint32_t value = 0;
    CHECK_STATUS(ERR_NONE, Nox_registerReadFromCamera(live.cameras[0], &value, 0x0000));
    CHECK(value == 0xC0A79AE5u);
    NoxBoardHandle *board = NULL;
    CHECK_STATUS(ERR_INVALID_ARGUMENT, Nox_initBoardEx(NULL, 0, &board, 0xF));
    CHECK(board == NULL);
    CHECK_STATUS(-1, Nox_callInternalFunction(2, NULL, NULL));
    CHECK_STATUS(-1, Nox_callInternalFunction(3, NULL, NULL));
    CloseRoad(&live);
    GenICamDeinit();

    /* With records on, a stale board's items are its address alone: nothing was read through it. */
    const char *file = getenv("VEXO_LOG_FILE");
    if (file == NULL) return;
    char item[128];
    snprintf(item, sizeof item, ",handle=(NoxBoardHandle*)%p,port-index=0|Invalid board handle", (void *)freed);
    CHECK(CountLogLines(file, item, NULL) == 1);
    CHECK(CountLogLines(file, item, "board-index=") == 0);
}

int main(void) {
    StaleHandles();
    if (failures != 0) fprintf(stderr, "stale handles: %d check(s) failed\n", failures);
    return failures == 0 ? 0 : 1;
}
