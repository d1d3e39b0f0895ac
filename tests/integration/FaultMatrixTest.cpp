// Every CoaXPress fault of the virtual camera against every call that talks
// to a camera, through the exported interface: what the call answers, that it
// ends, that the next ordinary call works, and that no call is ever handed the
// answer to another command.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <chrono>
#include <ostream>
#include <string>

#include "GenICamRoad.h"
#include "protocol/CxpBootstrap.h"

using nox_test::LoggedRoad;
namespace cxp = vexo::protocol::cxp;
namespace bootstrap = cxp::bootstrap;
using Clock = std::chrono::steady_clock;

namespace {

// The 1-link camera of the default topology: slot 1, on physical port 2.
constexpr uint32_t kSlot = 1;
constexpr uint32_t kPort = 2;
// Only to catch a hang: the slowest call waits out one 2000 ms read.
constexpr auto kHang = std::chrono::seconds(20);

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
int32_t Perform(Call call, NoxCameraHandle *camera) {
    int32_t status = ERR_NONE;
    switch (call) {
        case Call::kRegisterRead: {
            uint32_t value = 0;
            status = Nox_registerReadFromCamera(camera, &value, bootstrap::kStandard);
            if (status == ERR_NONE) {
                EXPECT_EQ(value, cxp::kStandardMagic);
            }
            break;
        }
        case Call::kMemoryRead: {
            char strings[64] = {};
            status = Nox_memoryReadFromCamera(camera, strings, bootstrap::kDeviceVendorName.address, sizeof strings);
            if (status == ERR_NONE) {
                EXPECT_STREQ(strings, "Vexo Vision");
                EXPECT_STREQ(strings + 32, "VX-4M");
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
void ExpectRevision(NoxCameraHandle *camera) {
    uint32_t revision = 0;
    EXPECT_EQ(Nox_registerReadFromCamera(camera, &revision, bootstrap::kRevision), ERR_NONE);
    EXPECT_EQ(revision, cxp::kRevision2_0);
}

// What each call answers under one fault, in the order of Call.
struct Row {
    const char *fault;
    std::array<int32_t, 4> status;
};

constexpr int32_t kTooFewData = ERR_GENCP_TOO_FEW_DATA;
constexpr int32_t kFeatureFailed = -1999;  // a failure inside GenICam or on the wire
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

void PrintTo(const Row &row, std::ostream *out) { *out << row.fault; }

std::string TestName(const testing::TestParamInfo<Row> &info) {
    std::string name = info.param.fault;
    for (char &c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

class FaultMatrix : public testing::TestWithParam<Row> {};

}  // namespace

TEST_P(FaultMatrix, EveryCameraCall) {
    const Row &row = GetParam();
    LoggedRoad road;
    NoxCameraHandle *camera = road.Camera(kSlot);
    ASSERT_EQ(Nox_LinkConnect(road.Board(), camera), ERR_NONE);
    ASSERT_EQ(Nox_connectCamera(camera), ERR_NONE);
    for (const Call call : {Call::kRegisterRead, Call::kMemoryRead, Call::kFeatureGet, Call::kConnect}) {
        SCOPED_TRACE(NameOf(call));
        ASSERT_EQ(vexosim_fault(0, kPort, row.fault, 1), 0);
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(Perform(call, camera), row.status[static_cast<size_t>(call)]);
        EXPECT_LT(Clock::now() - start, kHang);
        ASSERT_EQ(vexosim_fault(0, kPort, row.fault, 0), 0);
        ExpectRevision(camera);
        EXPECT_EQ(Perform(call, camera), ERR_NONE);
    }
}

INSTANTIATE_TEST_SUITE_P(Answered, FaultMatrix, testing::ValuesIn(kRows), TestName);
INSTANTIATE_TEST_SUITE_P(LateAnswers, FaultMatrix, testing::ValuesIn(kLateRows), TestName);
