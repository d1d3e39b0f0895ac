// The serial transmitter of a Camera Link port: opening, line rates and the
// listener's view of the camera.
#include <gtest/gtest.h>

#include <deque>

#include "ClBoard.h"
#include "Latch.h"
#include "platform/Environment.h"

using namespace gencp_test;
using namespace vexo::genicam;

namespace {

// Keeps what the listener tells, in order.
class Events : public TransmitterObserver {
public:
    void Available(Transmitter &) override { Add(true); }
    void Unavailable(Transmitter &) override { Add(false); }
    // Waits for the next event (a bound only catches a hang).
    bool Next() {
        std::unique_lock lock(mutex_);
        nox_test::EndIfHung(changed_.wait_for(lock, std::chrono::seconds(5), [&] { return !events_.empty(); }),
                            "no availability change");
        const bool event = events_.front();
        events_.pop_front();
        return event;
    }

private:
    void Add(bool available) {
        std::lock_guard lock(mutex_);
        events_.push_back(available);
        changed_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<bool> events_;
};

}  // namespace

TEST(CLTransmitter, OpenRefusesMissingAndHeldPortsAndSetsOnlyOneSupportedRate) {
    vexo::templates::platform::SetEnvironment("VEXO_CL_GENCP_ACK_TIMEOUT", "200");
    ClBoard board(R"({"boards": [{"model": "cl2-g2", "cameras": [{"baud": 115200}]}]})");
    EXPECT_THROW(CLTransmitter(board.wrapper, 2).Open(), std::exception);
    ASSERT_EQ(vexosim_serial_claim(0, 0, 1), 0);
    EXPECT_THROW(CLTransmitter(board.wrapper, 0).Open(), std::exception);
    ASSERT_EQ(vexosim_serial_claim(0, 0, 0), 0);

    ConnectedPort port(board, 0);  // at 921600 baud: the camera, at 115200, does not answer
    EXPECT_EQ(port.transmitter->PortConfiguration(), CameraPortConfiguration::kBase);
    EXPECT_THROW(ReadBytes(*port.connection, 0, 4), std::exception);
    EXPECT_THROW(port.transmitter->SetBaudRate(0x100), std::exception);
    EXPECT_THROW(port.transmitter->SetBaudRate(0), std::exception);
    port.transmitter->SetBaudRate(0x10);
    EXPECT_EQ(port.transmitter->BaudRate(), 115200u);
    EXPECT_EQ(ReadBytes(*port.connection, 0, 4), (Bytes{0, 1, 0, 0}));
}

TEST(CLTransmitter, TheListenerFollowsUnplugAndReplugAndStopsWithClose) {
    ClBoard board(R"({"boards": [{"model": "cl2-g1", "applet": {"port_config": "medium"},
        "cameras": [{"links": [0, 1]}]}]})");
    CLTransmitter second(board.wrapper, 1);
    EXPECT_FALSE(second.IsCameraAvailable()) << "connector 1 carries the second cable of the camera on 0";

    CLTransmitter transmitter(board.wrapper, 0);
    Events events;
    transmitter.AddObserver(&events);
    EXPECT_FALSE(events.Next()) << "told the last availability at once";
    transmitter.Open();
    EXPECT_EQ(transmitter.PortConfiguration(), CameraPortConfiguration::kMedium);
    EXPECT_FALSE(events.Next()) << "the listener starts by telling unavailable";
    EXPECT_TRUE(events.Next());
    ASSERT_EQ(vexosim_plug(0, 0, 0), 0);
    EXPECT_FALSE(events.Next());
    EXPECT_FALSE(transmitter.IsOpen());
    ASSERT_EQ(vexosim_plug(0, 0, 1), 0);
    EXPECT_TRUE(events.Next());
    EXPECT_TRUE(transmitter.IsOpen());
    transmitter.Close();
    EXPECT_FALSE(events.Next()) << "closing tells the observers the camera is gone";
    transmitter.RemoveObserver(&events);
}
