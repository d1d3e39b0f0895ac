// Every fault a virtual camera can show on its control channel, of each
// technology, against every call that talks to a camera, through the exported
// interface: what the call answers, that it ends, that the next ordinary call
// works, and that no call is ever handed the answer to another command.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <ostream>
#include <string>
#include <tuple>

#include "GenICamRoad.h"
#include "protocol/CxpBootstrap.h"
#include "protocol/GenCp.h"

using nox_test::LoggedRoad;
namespace cxp = vexo::protocol::cxp;
namespace gencp = vexo::protocol::gencp;
using Clock = std::chrono::steady_clock;

namespace {

// Only to catch a hang: the slowest call waits out one 2000 ms read and what
// a late answer holds up.
constexpr auto kHang = std::chrono::seconds(20);

// A register and the value the camera holds in it.
struct Register {
    uint32_t address;
    uint32_t value;
};

// One technology's camera and what the calls find in it.
struct Technology {
    const char *topology;  // null: the default topology
    uint32_t slot;
    uint32_t faultPort;
    const char *ackTimeoutMs;  // the GenCP acknowledge wait over a serial line, or null
    Register identity;         // what the register read reads
    Register other;            // the ordinary read after a fault: a value the other calls never read
    uint32_t stringsAddress;   // vendor name, then model name
    uint32_t stringSize;
    const char *model;
};

// The 1-link camera of the default topology: slot 1, on physical port 2.
constexpr Technology kCoaXPress = {
    nullptr, 1, 2, nullptr, {cxp::bootstrap::kStandard, cxp::kStandardMagic},
    {cxp::bootstrap::kRevision, cxp::kRevision2_0}, cxp::bootstrap::kDeviceVendorName.address,
    cxp::bootstrap::kDeviceVendorName.size, "VX-4M"};

// A GenCP camera on port 0 of its board, in slot 0, answering 250 ms as its
// longest response time.
constexpr Technology GenCpCamera(const char *topology, const char *ackTimeoutMs, const char *model) {
    return {topology, 0, 0, ackTimeoutMs, {gencp::bootstrap::kGenCpVersion, gencp::kVersion1_0},
            {gencp::bootstrap::kMaximumDeviceResponseTime, 250}, gencp::bootstrap::kDeviceVendorName,
            gencp::bootstrap::kStringSize, model};
}

// Found at 9600 baud and switched to 115200; a lost acknowledge is waited
// out 300 ms at a time.
constexpr Technology kCameraLink = GenCpCamera(
    R"({"boards": [{"model": "cl2-g1", "cameras": [{"links": [0], "model": "VX-CL2", "response_time": 250}]}]})",
    "300", "VX-CL2");
constexpr Technology kCameraLinkHs = GenCpCamera(
    R"({"boards": [{"model": "clhs2-c", "cameras": [{"links": [0], "model": "VX-HS1", "response_time": 250}]}]})",
    nullptr, "VX-HS1");

enum class Call { kRegisterRead, kMemoryRead, kFeatureGet, kConnect };

const char *NameOf(Call call) {
    switch (call) {
        case Call::kRegisterRead: return "register read";
        case Call::kMemoryRead: return "memory read";
        case Call::kFeatureGet: return "feature get";
        case Call::kConnect: return "camera connect";
    }
    return "";
}

// The call; on success its data must be its own.
int32_t Perform(const Technology &technology, Call call, NoxCameraHandle *camera) {
    int32_t status = ERR_NONE;
    switch (call) {
        case Call::kRegisterRead: {
            uint32_t value = 0;
            status = Nox_registerReadFromCamera(camera, &value, technology.identity.address);
            if (status == ERR_NONE) {
                EXPECT_EQ(value, technology.identity.value);
            }
            break;
        }
        case Call::kMemoryRead: {
            char strings[2 * gencp::bootstrap::kStringSize] = {};
            status = Nox_memoryReadFromCamera(camera, strings, technology.stringsAddress, 2 * technology.stringSize);
            if (status == ERR_NONE) {
                EXPECT_STREQ(strings, "Vexo Vision");
                EXPECT_STREQ(strings + technology.stringSize, technology.model);
            }
            break;
        }
        case Call::kFeatureGet: {
            double temperature = 0;  // volatile: every get goes to the camera
            status = Nox_getFloatValue(camera, "DeviceTemperature", &temperature);
            if (status == ERR_NONE) {
                EXPECT_EQ(temperature, 42.5);
            }
            break;
        }
        case Call::kConnect: status = Nox_connectCamera(camera); break;
    }
    return status;
}

// An ordinary read of another register: a late answer taken for it shows.
void ExpectOther(const Technology &technology, NoxCameraHandle *camera) {
    EXPECT_EQ(nox_test::CameraRegister(camera, technology.other.address), technology.other.value);
}

// What each call answers under one fault, in the order of Call; the fault
// hits `count` commands.
struct Row {
    const char *fault;
    std::array<int32_t, 4> status;
    uint32_t count = 1;
};

constexpr int32_t kTooFewData = ERR_GENCP_TOO_FEW_DATA;
constexpr int32_t kFeatureFailed = ERR_EXCEPTION;  // a failure inside GenICam or on the wire
constexpr std::array<int32_t, 4> kRefused = {kTooFewData, kTooFewData, kFeatureFailed, kTooFewData};
constexpr std::array<int32_t, 4> kAnswered = {ERR_NONE, ERR_NONE, ERR_NONE, ERR_NONE};

// Faults settled within the call: its answer, right or wrong, or none at all.
constexpr Row kRows[] = {
    {"no_ack", kRefused},
    {"malformed_ack", kRefused},
    {"bad_crc_ack", kRefused},
    {"ack_code:42", kRefused},
    {"wrong_tag", kRefused},  // dropped as another command's answer; its own never comes
    {"delay_ack:100", kAnswered},
};
// Faults that leave the real answer behind after a read has given up on a
// postponing or missing one: the next call must not take it for its own.
constexpr Row kLateRows[] = {
    {"tentative_ack", kRefused},
    {"wait_ack:100", kRefused},
    // Past the 2000 ms a read waits, yet well within the wait of the read
    // after it, whose answer the camera holds back behind the late one.
    {"delay_ack:3000", kRefused},
};

// A failing read's status from the register and memory reads and the
// connect; a feature get reports every failure as an exception, and so does
// a connect over the serial line.
constexpr std::array<int32_t, 4> Failing(int32_t status, int32_t connect) {
    return {status, status, kFeatureFailed, connect};
}
constexpr std::array<int32_t, 4> kRefusedAddress = Failing(ERR_GENCP_INVALID_ADDRESS, ERR_GENCP_INVALID_ADDRESS);
constexpr std::array<int32_t, 4> kSerialRefused = Failing(ERR_GENCP_INVALID_ADDRESS, ERR_EXCEPTION);
constexpr std::array<int32_t, 4> kSerialTimedOut = Failing(ERR_GENCP_ERROR, ERR_EXCEPTION);

// A lost, late or garbled answer is made good by a resend with the same id,
// which the camera answers again without executing the command twice.
constexpr Row kCameraLinkRows[] = {
    {"no_ack", kAnswered},
    {"no_ack", kSerialTimedOut, 3},
    {"pending_ack:1000", kAnswered},  // the answer comes after the usual wait, within the announced one
    {"busy_echo:400", kAnswered},
    {"status:8003", kSerialRefused},
    {"garbage:40", kAnswered},
    {"split:100", kAnswered},
    {"wrong_id", kAnswered},
    {"truncate:2", kAnswered},
    // The second half comes after every sending has given up; with the
    // answers to the resends it must go to nobody.
    {"split:1200", kSerialTimedOut},
};

// A message the channel could not send or receive is not sent again.
constexpr Row kCameraLinkHsRows[] = {
    {"no_ack", kAnswered},
    {"pending_ack:500", kAnswered},
    {"status:8003", kRefusedAddress},
    {"tx_busy:100", kAnswered},
    {"tx_full", Failing(ERR_CLHS_TX_BUFFER_FULL, ERR_CLHS_TX_BUFFER_FULL)},
    {"send_fail", Failing(ERR_CLHS_SEND_FAILED, ERR_CLHS_SEND_FAILED)},
    {"rx_fail", Failing(ERR_CLHS_RECEIVE_FAILED, ERR_CLHS_RECEIVE_FAILED)},
    // The command leaves after the call gave up on sending it: its answer
    // comes during the next call and must go to nobody.
    {"tx_busy:2500", Failing(ERR_CLHS_TX_BUSY_TIMEOUT, ERR_CLHS_TX_BUSY_TIMEOUT)},
};

using Case = std::tuple<const Technology *, Row>;

void PrintTo(const Row &row, std::ostream *out) { *out << row.fault << " x" << row.count; }
void PrintTo(const Technology *technology, std::ostream *out) { *out << technology->model; }

std::string TestName(const testing::TestParamInfo<Case> &info) {
    const Row &row = std::get<1>(info.param);
    std::string name = row.fault;
    if (row.count != 1) name += "_x" + std::to_string(row.count);
    for (char &c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

class FaultMatrix : public testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        if (const char *wait = std::get<0>(GetParam())->ackTimeoutMs) ::setenv("VEXO_CL_GENCP_ACK_TIMEOUT", wait, 1);
    }
    void TearDown() override { ::unsetenv("VEXO_CL_GENCP_ACK_TIMEOUT"); }
};

}  // namespace

TEST_P(FaultMatrix, EveryCameraCall) {
    const auto &[technology, row] = GetParam();
    LoggedRoad road(technology->topology);
    NoxCameraHandle *camera = road.Connected(technology->slot);
    for (const Call call : {Call::kRegisterRead, Call::kMemoryRead, Call::kFeatureGet, Call::kConnect}) {
        SCOPED_TRACE(NameOf(call));
        ASSERT_EQ(vexosim_fault(0, technology->faultPort, row.fault, row.count), 0);
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(Perform(*technology, call, camera), row.status[static_cast<size_t>(call)]);
        EXPECT_LT(Clock::now() - start, kHang);
        ASSERT_EQ(vexosim_fault(0, technology->faultPort, row.fault, 0), 0);
        ExpectOther(*technology, camera);
        EXPECT_EQ(Perform(*technology, call, camera), ERR_NONE);
    }
}

INSTANTIATE_TEST_SUITE_P(Answered, FaultMatrix, testing::Combine(testing::Values(&kCoaXPress), testing::ValuesIn(kRows)),
                         TestName);
INSTANTIATE_TEST_SUITE_P(LateAnswers, FaultMatrix,
                         testing::Combine(testing::Values(&kCoaXPress), testing::ValuesIn(kLateRows)), TestName);
INSTANTIATE_TEST_SUITE_P(CameraLink, FaultMatrix,
                         testing::Combine(testing::Values(&kCameraLink), testing::ValuesIn(kCameraLinkRows)), TestName);
INSTANTIATE_TEST_SUITE_P(CameraLinkHs, FaultMatrix,
                         testing::Combine(testing::Values(&kCameraLinkHs), testing::ValuesIn(kCameraLinkHsRows)),
                         TestName);
