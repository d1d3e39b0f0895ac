// Several programs on one simulator instance, as the programs of a user share
// a board in the machine; and test programs, which never share one.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "SerialLink.h"
#include "SimHarness.h"
#include "SimInstanceChoice.h"

extern char **environ;

namespace {

using simtest::RunCommand;
using Ms = std::chrono::milliseconds;

// Generous: only a hung peer takes this long.
constexpr Ms kPeerBound{10000};

// A peer program that runs while the test talks to it, line by line.
class Peer {
public:
    explicit Peer(const std::string &command) {
        int toPeer[2], fromPeer[2];
        if (::pipe2(toPeer, O_CLOEXEC) != 0 || ::pipe2(fromPeer, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toPeer[0], 0);
        posix_spawn_file_actions_adddup2(&actions, fromPeer[1], 1);
        char *argv[] = {const_cast<char *>(SIM_INSTANCE_PEER), const_cast<char *>(command.c_str()),
                        const_cast<char *>("0"), nullptr};
        if (posix_spawn(&pid_, SIM_INSTANCE_PEER, &actions, nullptr, argv, environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(toPeer[0]);
        ::close(fromPeer[1]);
        input_ = toPeer[1];
        output_ = fromPeer[0];
    }
    ~Peer() {
        if (pid_ > 0) Kill();
        ::close(input_);
        ::close(output_);
    }

    // The next line it prints, within kPeerBound.
    std::optional<std::string> ReadLine() {
        const auto deadline = std::chrono::steady_clock::now() + kPeerBound;
        std::string line;
        for (char c; std::chrono::steady_clock::now() < deadline;) {
            pollfd ready{output_, POLLIN, 0};
            if (::poll(&ready, 1, 100) <= 0) continue;
            if (::read(output_, &c, 1) != 1) return std::nullopt;
            if (c == '\n') return line;
            line += c;
        }
        return std::nullopt;
    }
    void Say(const std::string &line) { ASSERT_EQ(::write(input_, (line + "\n").data(), line.size() + 1), ssize_t(line.size() + 1)); }
    int Kill() {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

private:
    pid_t pid_ = -1;
    int input_ = -1, output_ = -1;
};

std::string PeerCommand(const std::string &arguments) { return std::string(SIM_INSTANCE_PEER) + " " + arguments; }

std::string Status() { return RunCommand(std::string(VEXOSIM_TOOL) + " status").second; }

TEST(SharedInstance, ProgramsShareTheBoardsAndTheBoardLock) {
    nox_test_own_sim_instance("simtest");
    ASSERT_EQ(RunCommand(PeerCommand("write-width 1024")).first, 0);
    EXPECT_EQ(RunCommand(PeerCommand("read-width")).second, "1024\n");

    Peer holder("hold-lock");
    ASSERT_EQ(holder.ReadLine(), "locked");
    EXPECT_EQ(RunCommand(PeerCommand("take-lock 0")).second, "-1\n") << "held by the other program";
    // Killed holding it: the next program takes it (and again, recursively), and the board goes on.
    EXPECT_TRUE(WIFSIGNALED(holder.Kill()));
    EXPECT_EQ(RunCommand(PeerCommand("take-lock 5000")).second, "0 0 0 0 -1\n");
    EXPECT_EQ(RunCommand(PeerCommand("read-width")).second, "1024\n");

    // A cable pulled by the tool is pulled for every program.
    ASSERT_EQ(RunCommand(std::string(VEXOSIM_TOOL) + " plug 0 0 off").first, 0);
    EXPECT_NE(Status().find("port 0: cable unplugged, power on, link unlocked"), std::string::npos) << Status();
    EXPECT_NE(RunCommand(PeerCommand("read-width")).first, 0) << "the camera lost its power with its master cable";
}

TEST(SharedInstance, AnotherTopologyMakesANewGenerationAndClosesOlderSessions) {
    nox_test_own_sim_instance("simtest");
    Peer keeper("keep-session");
    ASSERT_EQ(keeper.ReadLine(), "open");
    const std::string folder = testing::TempDir();
    std::ofstream(folder + "/two.json") << R"({"boards": [{"model": "cxp4-c"}, {"model": "cxp2-c"}]})";
    std::ofstream(folder + "/bad.json") << R"({"boards": [{"model": "cxp4-c", "colour": 1}]})";

    const auto [status, output] = RunCommand("VEXO_SIM_CONFIG=" + folder + "/two.json " + PeerCommand("attach"));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(output.find("now serves"), output.rfind("now serves")) << output;
    EXPECT_NE(output.find("generation 2"), std::string::npos) << output;
    keeper.Say("go");
    EXPECT_EQ(keeper.ReadLine(), "-1 1") << "the old session is refused, the new topology's second board is served";

    // A rejected topology leaves the instance alone; the program gets no board.
    EXPECT_NE(RunCommand("VEXO_SIM_CONFIG=" + folder + "/bad.json " + PeerCommand("attach")).first, 0);
    EXPECT_NE(Status().find("generation 2"), std::string::npos) << Status();
    EXPECT_NE(Status().find("board 1: cxp2-c"), std::string::npos) << Status();
}

TEST(SharedInstance, ProgramsAttachingAtOnceBuildTheInstanceOnce) {
    nox_test_own_sim_instance("simtest");
    std::vector<std::unique_ptr<Peer>> peers;
    for (int i = 0; i < 6; ++i) peers.push_back(std::make_unique<Peer>("keep-session"));
    int opened = 0;
    for (auto &peer : peers) opened += peer->ReadLine() == "open";
    EXPECT_EQ(opened, 6);
    const std::string status = Status();
    EXPECT_NE(status.find("generation 1,"), std::string::npos) << status;
}

TEST(SharedInstance, ASerialPortOpenInAnotherProgramIsInUseWhileItRuns) {
    nox_test_own_sim_instance("simtest");
    const std::string topology = testing::TempDir() + "/serial.json";
    std::ofstream(topology) << R"({"boards": [{"model": "cl2-g1", "cameras": [{}]}]})";
    ::setenv("VEXO_SIM_CONFIG", topology.c_str(), 1);
    Peer holder("hold-serial");  // on port 0
    ASSERT_EQ(holder.ReadLine(), "0");
    simtest::Session board;
    uint32_t receive = 0, transmit = 0;
    EXPECT_EQ(OpenSerialPort(board.Device(), 0, 9600, &receive, &transmit), -28);
    EXPECT_NE(Status().find("serial port 0: open by process"), std::string::npos) << Status();
    EXPECT_TRUE(WIFSIGNALED(holder.Kill()));
    EXPECT_EQ(OpenSerialPort(board.Device(), 0, 9600, &receive, &transmit), 0);
    ::unsetenv("VEXO_SIM_CONFIG");
}

TEST(SharedInstance, TestProgramsNeverMeet) {
    // As ctest starts them: no instance named, so each picks its own.
    const std::string unnamed = "env -u VEXO_SIM_INSTANCE ";
    ASSERT_EQ(RunCommand(unnamed + PeerCommand("write-width 1024")).first, 0);
    EXPECT_EQ(RunCommand(unnamed + PeerCommand("read-width")).second, "4096\n");
}

}  // namespace
