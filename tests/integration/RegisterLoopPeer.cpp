// A second program on a board another program has scanned: attaches with the layout file it is
// given and reads one camera register in a loop, counting answers that are not the register's value.
// Arguments: layout file, register address, expected value, seconds. Prints
// "reads <n> wrong <n> failed <n>"; exits 0 when every read answered the expected value.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "grablib5.h"
#include "nox_genicam.h"
#include "nox_genicam_ext.h"

int main(int argc, char **argv) {
    if (argc != 5) return 2;
    const uint32_t address = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 0));
    const uint32_t expected = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 0));
    const auto duration = std::chrono::seconds(std::strtoul(argv[4], nullptr, 0));
    GenICamInit();
    GrabberSession *session = OpenGrabber(0);
    NoxBoardHandle *board = nullptr;
    NoxCameraHandle *camera = nullptr;
    if (session == nullptr || Nox_initBoardEx(session, 0, &board, 0xF) != ERR_NONE ||
        Nox_attachBoardConfiguration(board, argv[1]) != ERR_NONE || Nox_getCameraByIndex(board, 0, &camera) != ERR_NONE) {
        std::printf("attach failed: %s\n", Nox_getLastErrorText());
        return 3;
    }
    unsigned long reads = 0, wrong = 0, failed = 0;
    const auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end) {
        uint32_t value = 0;
        ++reads;
        if (Nox_registerReadFromCamera(camera, &value, address) != ERR_NONE)
            ++failed;
        else if (value != expected)
            ++wrong;
    }
    std::printf("reads %lu wrong %lu failed %lu\n", reads, wrong, failed);
    Nox_freeBoard(board);
    CloseGrabber(session);
    GenICamDeinit();
    return wrong == 0 && failed == 0 && reads > 0 ? 0 : 1;
}
