// Another program on the simulator instance of VEXO_SIM_INSTANCE, started by
// the shared-instance tests. One command per run; it prints its findings on
// stdout and exits 0 when the command could be carried out.
#include <iostream>
#include <string>

#include "SimHarness.h"
#include "protocol/CxpBootstrap.h"

extern "C" int32_t OpenSerialPort(uint64_t device, uint32_t port, uint32_t baud, uint32_t *rxQueue, uint32_t *txQueue);

namespace {

constexpr uint32_t kWidthAddress = 0x6008;  // the camera's Width register

int WriteWidth(uint32_t width) {
    simtest::Session session;
    return session.WriteCamera(0, kWidthAddress, width) == simtest::kAckSuccess ? 0 : 1;
}

int ReadWidth() {
    simtest::Session session;
    const std::optional<uint32_t> width = session.ReadCamera(0, kWidthAddress);
    if (!width) return 1;
    std::cout << *width << std::endl;
    return 0;
}

// Takes the board's lock and keeps it until killed (or its input closes).
int HoldLock() {
    if (vexosim_lock_board(0, 1000) != 0) return 1;
    std::cout << "locked" << std::endl;
    std::string line;
    std::getline(std::cin, line);
    return 0;
}

// The lock within `ms`; when taken, again (recursive), then released as
// often, and once too often.
int TakeLock(uint32_t ms) {
    const int32_t first = vexosim_lock_board(0, ms);
    std::cout << first;
    if (first == 0)
        std::cout << " " << vexosim_lock_board(0, 0) << " " << vexosim_unlock_board(0) << " " << vexosim_unlock_board(0)
                  << " " << vexosim_unlock_board(0);
    std::cout << std::endl;
    return 0;
}

// Holds a session while another program changes the topology (it says "go"),
// then reads through the old session and a new one.
int KeepSession() {
    GrabberSession *old = OpenGrabber(0);
    if (!old) return 1;
    const auto *record = reinterpret_cast<const char *>(old);
    const uint64_t device = *reinterpret_cast<const uint64_t *>(record + 408);
    const uint64_t applet = *reinterpret_cast<const uint64_t *>(record + 416);
    const auto address = uint32_t(FindAppletRegister(applet, "rDiscoverySelect"));
    std::cout << "open" << std::endl;
    std::string line;
    std::getline(std::cin, line);
    uint64_t value = 0;
    const int32_t oldStatus = ReadBoardRegister(device, address, &value);
    GrabberSession *fresh = OpenGrabber(1);
    std::cout << oldStatus << " " << (fresh != nullptr) << std::endl;
    CloseGrabber(fresh);
    CloseGrabber(old);
    return 0;
}

// Opens serial port `port` of board 0, prints the status and keeps it until killed.
int HoldSerialPort(uint32_t port) {
    simtest::Session session;
    uint32_t receive = 0, transmit = 0;
    std::cout << OpenSerialPort(session.Device(), port, 9600, &receive, &transmit) << std::endl;
    std::string line;
    std::getline(std::cin, line);
    return 0;
}

int Attach() {
    GrabberSession *session = OpenGrabber(0);
    CloseGrabber(session);
    return session ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "write-width" && argc > 2) return WriteWidth(uint32_t(std::stoul(argv[2])));
    if (command == "read-width") return ReadWidth();
    if (command == "hold-lock") return HoldLock();
    if (command == "hold-serial" && argc > 2) return HoldSerialPort(uint32_t(std::stoul(argv[2])));
    if (command == "take-lock" && argc > 2) return TakeLock(uint32_t(std::stoul(argv[2])));
    if (command == "keep-session") return KeepSession();
    if (command == "attach") return Attach();
    std::cerr << "usage: sim_instance_peer write-width N | read-width | hold-lock | take-lock MS | keep-session | attach\n";
    return 2;
}
