/* Opens board 0, discovers its cameras, connects the first one and reads its width. */
#include <stdio.h>

#include "grablib5.h"
#include "nox_genicam.h"

int main(void) {
    NoxBoardHandle *board = NULL;
    NoxCameraHandle *camera = NULL;
    int64_t width = 0;
    GenICamInit();
    GrabberSession *session = OpenGrabber(0);
    int32_t status = session ? Nox_initBoardEx(session, 0, &board, 0xF) : ERR_BOARD_INIT;
    if (status == ERR_NONE) status = Nox_scanPorts(board, 0xF, 0, 0);
    if (status == ERR_NONE) status = Nox_getCameraByIndex(board, 0, &camera);
    if (status == ERR_NONE && camera == NULL) status = ERR_NO_CAMERA_FOUND;
    if (status == ERR_NONE) status = Nox_LinkConnect(board, camera);
    if (status == ERR_NONE) status = Nox_connectCamera(camera);
    if (status == ERR_NONE) status = Nox_getIntegerValue(camera, "Width", &width);
    if (status == ERR_NONE) {
        const NoxCameraInfo *info = Nox_getCameraInfo(camera);
        printf("%s %s: Width = %lld\n", info && info->vendorName ? info->vendorName : "?",
               info && info->modelName ? info->modelName : "?", (long long)width);
    } else {
        fprintf(stderr, "failed: %d (%s)\n", status, Nox_getErrorDescription(status));
    }
    if (board) Nox_freeBoard(board);
    CloseGrabber(session);
    GenICamDeinit();
    return status == ERR_NONE ? 0 : 1;
}
