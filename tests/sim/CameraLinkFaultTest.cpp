// Every fault of a Camera Link camera, as it shows on the serial line.
#include <gtest/gtest.h>

#include <algorithm>

#include "SerialLink.h"

using namespace simtest;
using SimCameraLinkFault = SimTest;

TEST_F(SimCameraLinkFault, EveryFaultShowsOnTheWire) {
    LoadTopology(R"({"boards": [{"model": "cl2-g1", "timing": false, "cameras": [{}]}]})");
    SerialLink link(0, 9600);
    const Bytes command = ReadCommand(0x0000, 4, 1);
    const Bytes answer = GenCpPacket(0, 0x0801, 1, {0, 1, 0, 0});
    const auto inject = [](const char *kind) { ASSERT_EQ(vexosim_fault(0, 0, kind, 1), 0) << kind; };
    EXPECT_EQ(vexosim_fault(0, 0, "wait_ack:5", 1), -1) << "a CoaXPress fault";

    inject("no_ack");
    link.Send(command);
    EXPECT_EQ(link.Waiting(), 0);

    inject("status:8004");
    EXPECT_EQ(link.Exchange(command)->bytes, GenCpPacket(0x8004, 0x0801, 1, {}));

    inject("pending_ack:40");
    EXPECT_EQ(link.Exchange(command)->bytes, GenCpPacket(0, 0x0805, 1, {0, 0, 0, 40}));
    EXPECT_EQ(link.Waiting(), 0) << "the answer comes within the pending time, not at once";
    EXPECT_EQ(link.NextReply(Ms(200))->bytes, answer);

    inject("busy_echo:40");
    link.Send(WriteCommand(0x6008, {0, 0, 1, 0}, 2));  // writes pass a busy echo by
    EXPECT_EQ(link.NextReply()->Status(), 0);
    EXPECT_EQ(link.Exchange(command)->bytes, GenCpPacket(0x8007, 0x0800, 1, Bytes(command.begin() + 16, command.end())));
    EXPECT_EQ(link.NextReply(Ms(200))->bytes, answer);

    inject("garbage:5");
    link.Send(command);
    const Bytes noise = link.Receive(5, kAnswerBound);
    EXPECT_EQ(std::count(noise.begin(), noise.end(), 0x01), 0);
    EXPECT_EQ(link.NextReply()->bytes, answer);

    inject("split:30");
    link.Send(command);
    EXPECT_EQ(link.Waiting(), int32_t(answer.size() / 2));
    EXPECT_EQ(link.NextReply(Ms(200))->bytes, answer);

    inject("wrong_id");
    link.Send(ReadCommand(0x0000, 4, 7));
    EXPECT_EQ(link.NextReply()->Id(), 6);
    EXPECT_EQ(link.NextReply()->bytes, GenCpPacket(0, 0x0801, 7, {0, 1, 0, 0}));

    inject("truncate:3");
    link.Send(command);
    EXPECT_EQ(link.Receive(answer.size(), Ms(20)), Bytes(answer.begin(), answer.end() - 3));

    const vexosim_port_stats stats = Stats(0, 0);
    EXPECT_EQ(stats.commandsReceived, 9u);
    EXPECT_EQ(stats.acksSent, 10u) << "none for no_ack or the echo; two for pending and wrong id";
}
