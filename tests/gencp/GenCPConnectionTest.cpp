// GenCP requests over a Camera Link serial port of the virtual frame grabber,
// with the camera's faults as they show on the line.
#include <gtest/gtest.h>

#include <thread>

#include "ClBoard.h"
#include "Latch.h"
#include "gencp/GenCPException.h"
#include "gencp/GenCPPacketKinds.h"
#include "platform/Environment.h"
#include "protocol/GenCp.h"

using namespace gencp_test;
using namespace vexo::genicam;
namespace bootstrap = vexo::protocol::gencp::bootstrap;

namespace {

const char *kTopology = R"({"boards": [{"model": "cl2-g1", "cameras": [
    {"bauds": [9600, 115200, 921600], "baud": 921600, "model": "VX-2K-CL"}]}]})";
const Bytes kVersion{0x00, 0x01, 0x00, 0x00};

uint64_t BigEndian(const Bytes &bytes) {
    uint64_t value = 0;
    for (uint8_t byte : bytes) value = value << 8 | byte;
    return value;
}

class GenCpConnection : public ::testing::Test {
protected:
    void Fault(const char *kind, uint32_t count = 1) { ASSERT_EQ(vexosim_fault(0, 0, kind, count), 0) << kind; }
    uint64_t Commands() { return Stats(0).commandsReceived; }
    // Found through the manifest table.
    uint64_t DescriptionAddress() {
        namespace manifest = vexo::protocol::gencp::manifest;
        const uint64_t table = BigEndian(ReadBytes(connection_, bootstrap::kManifestTableAddress, 8));
        return BigEndian(ReadBytes(connection_, table + manifest::kCountBytes + manifest::kFileAddressOffset, 8));
    }

    // Short enough that the tries of a silent camera end quickly, long
    // enough that a loaded machine never makes a normal answer late. Set
    // before the connection reads it.
    bool ackTimeoutSet_ = [] {
        vexo::templates::platform::SetEnvironment("VEXO_CL_GENCP_ACK_TIMEOUT", "200");
        return true;
    }();
    ClBoard board_{kTopology};
    ConnectedPort port_{board_, 0};
    GenCPConnection &connection_ = *port_.connection;
};

}  // namespace

TEST_F(GenCpConnection, ReadsAndWritesTheCameraInPieces) {
    EXPECT_EQ(ReadBytes(connection_, bootstrap::kGenCpVersion, 4), kVersion);
    const Bytes odd{0x12, 0x34, 0x80};  // the last byte enters the checksum sign-extended
    connection_.WriteMemory(bootstrap::kDeviceUserDefinedName, odd.data(), 3);
    EXPECT_EQ(ReadBytes(connection_, bootstrap::kDeviceUserDefinedName, 3), odd);

    // 1000 bytes of the description go in pieces of 496, 496 and 8.
    const uint64_t description = DescriptionAddress();
    const size_t before = port_.recorder->Written().size();
    EXPECT_EQ(ReadBytes(connection_, description, 1000).size(), 1000u);
    const std::vector<Bytes> written = port_.recorder->Written();
    std::vector<uint16_t> counts;
    for (size_t i = before; i < written.size(); ++i) counts.push_back(uint16_t(written[i][26] << 8 | written[i][27]));
    EXPECT_EQ(counts, (std::vector<uint16_t>{496, 496, 8}));
    EXPECT_EQ(Stats(0).crcErrors, 0u);
}

TEST_F(GenCpConnection, ASilentCameraGetsThreeSendingsOfOnePacket) {
    Fault("no_ack", 3);
    try {
        ReadBytes(connection_, 0, 4);
        ADD_FAILURE() << "no time-out";
    } catch (const gencp_timeout &error) {
        EXPECT_EQ(error.Code(), 0x8FFFu);
    }
    const std::vector<Bytes> written = port_.recorder->Written();
    ASSERT_EQ(written.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(written[i][8], i == 0 ? 0x40 : 0xC0) << "flags of sending " << i;
        EXPECT_EQ(Bytes(written[i].begin() + 14, written[i].begin() + 16), (Bytes{0, 1})) << "request id " << i;
    }
    EXPECT_EQ(Commands(), 3u);
    EXPECT_EQ(ReadBytes(connection_, 0, 4), kVersion) << "the connection goes on";
}

// Late, noisy, split, misnumbered and truncated answers, and the camera's error
// statuses, through the exported calls: FaultMatrixTest's Camera Link rows.
TEST_F(GenCpConnection, ErrorStatusesAndEmptyAnswersEndTheRequest) {
    Fault("status:0");
    EXPECT_THROW(ReadBytes(connection_, 0, 4), gencp_error) << "success without data";
    Fault("status:8004");
    const Bytes value{1, 2, 3, 4};
    try {
        connection_.WriteMemory(bootstrap::kDeviceUserDefinedName, value.data(), 4);
        ADD_FAILURE() << "no error";
    } catch (const GenCPException &error) {
        EXPECT_EQ(error.Code(), 0x8004u);
    }
    EXPECT_EQ(Commands(), 2u) << "no request was tried again";
}

TEST_F(GenCpConnection, ClosingTheTransmitterEndsARequestInFlightAndBothThreads) {
    Fault("no_ack", 3);
    nox_test::Latch ended;
    std::string failure;
    std::thread reader([&] {
        try {
            ReadBytes(connection_, 0, 4);
        } catch (const std::exception &error) {
            failure = error.what();
        }
        ended.Open();
    });
    EXPECT_TRUE(Eventually([&] { return Commands() == 1; }));
    port_.transmitter->Close();
    nox_test::EndIfHung(ended.Wait(std::chrono::seconds(5)), "a request on a closed transmitter");
    reader.join();
    EXPECT_EQ(failure, "Request was terminated!");
    EXPECT_THROW(ReadBytes(connection_, 0, 4), gencp_error);
}
