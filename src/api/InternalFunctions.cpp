// Service entry for the runtime's own tools.
#include <chrono>
#include <thread>

#include "api/ApiSupport.h"
#include "board/BoardLibraries.h"

using namespace vexo::genicam;

namespace {

constexpr int32_t kResetEthernetPhys = 1;
constexpr int32_t kSetConsoleTrace = 3;
constexpr int kMaxPhyPolls = 100;
constexpr uint64_t kPhyBusy = 1u << 15;

void Wait(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

struct PhyRegisters {
    int64_t read, write, data, registerAddress, phyAddress, readValue, reset;
};

bool FindPhyRegisters(uint64_t applet, PhyRegisters &registers) {
    const std::pair<const char *, int64_t *> names[] = {
        {"GigE_MdioRD", &registers.read},          {"GigE_MdioWR", &registers.write},
        {"GigE_Mdio", &registers.data},            {"GigE_MdioRegAddr", &registers.registerAddress},
        {"GigE_MdioPhyAddr", &registers.phyAddress}, {"MdioReadReg", &registers.readValue},
        {"GigE_Reset", &registers.reset}};
    for (const auto &[name, address] : names) {
        *address = FindAppletRegister(applet, name);
        if (*address <= 0) return false;
    }
    return true;
}

void Write(uint64_t device, int64_t address, uint64_t value) {
    WriteBoardRegister(device, static_cast<uint32_t>(address), value);
}

void WritePhyRegister(uint64_t device, const PhyRegisters &registers, uint64_t number, uint64_t value) {
    Write(device, registers.registerAddress, number);
    Write(device, registers.data, value);
    Write(device, registers.write, 0);
    Wait(100);
}

// Waits, at most kMaxPhyPolls reads, for register 0 of the PHY to leave its reset.
void PollPhyReady(uint64_t device, const PhyRegisters &registers) {
    uint64_t value = 0;
    for (int poll = 0; poll < kMaxPhyPolls; ++poll) {
        Write(device, registers.registerAddress, 0);
        Write(device, registers.read, 0);
        Wait(50);
        uint64_t read = value;
        if (ReadBoardRegister(device, static_cast<uint32_t>(registers.readValue), &read) == 0) value = read;
        Wait(50);
        if ((value & kPhyBusy) == 0) return;
    }
}

int32_t ResetEthernetPhys(const uint32_t *words) {
    if (words == nullptr) return -1;
    const uint32_t boardIndex = words[0], portMask = words[1];
    GrabberSession *session = OpenGrabber(boardIndex);
    if (session == nullptr) return -1;
    const uint64_t device = SessionDeviceHandle(session);
    PhyRegisters registers{};
    if (!FindPhyRegisters(SessionAppletHandle(session), registers)) {
        CloseGrabber(session);
        return -1;
    }
    Write(device, registers.reset, ~portMask & 0xF);
    Wait(100);
    Write(device, registers.reset, 15);
    Wait(100);
    static constexpr std::pair<uint64_t, uint64_t> kPhySetup[] = {
        {29, 0x001B}, {30, 0x418F}, {29, 0x0016}, {30, 0xA2DA}, {29, 0x000B}, {30, 0x0004}, {0, 0x9140}};
    for (uint32_t port = 0; port < 4; ++port) {
        if ((portMask & (1u << port)) == 0) continue;
        Write(device, registers.phyAddress, port);
        Wait(100);
        for (const auto &[number, value] : kPhySetup) WritePhyRegister(device, registers, number, value);
        PollPhyReady(device, registers);
    }
    CloseGrabber(session);
    return 0;
}

int32_t SetConsoleTrace(const NoxConsoleTraceRequest *request) {
    if (request == nullptr) return -1;
    BoardPin board = Board(request->board);
    if (board == nullptr) return -1;
    FirmwareControllerBase *controller = board->Controller();
    if (controller == nullptr) return -1;
    controller->EnableConsoleTrace(request->enable != 0);
    return 0;
}

}  // namespace

extern "C" NOX_API int32_t Nox_callInternalFunction(int32_t function, void *data, void *) {
    ExportedCallScope call;
    switch (function) {
        case kResetEthernetPhys: return ResetEthernetPhys(static_cast<const uint32_t *>(data));
        case kSetConsoleTrace: return SetConsoleTrace(static_cast<const NoxConsoleTraceRequest *>(data));
        default: return -1;
    }
}
