#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "board/FirmwareControllerBase.h"
#include "discovery/DiscoveryInfo.h"
#include "genicam/CTransportLayer.h"
#include "model/NOXInterface.h"
#include "nox_genicam.h"
#include "protocol/CxpBootstrap.h"

namespace bootstrap = vexo::protocol::cxp::bootstrap;
using vexo::genicam::CTransportLayer;
using vexo::genicam::AcknowledgeMode;
using vexo::genicam::ByteSwap;

namespace {

// Records the register operations the port hands on; reads fill the buffer
// with a pattern or fail with a chosen status.
class RecordingController : public vexo::genicam::FirmwareControllerBase {
public:
    struct Call {
        std::string operation;
        uint32_t port;
        uint64_t address;
        uint32_t bytes;
        uint32_t value;
        ByteSwap swap;
        uint32_t timeout;
        bool operator==(const Call &) const = default;
    };

    RecordingController() : FirmwareControllerBase(0, 0, nullptr) {}

    int32_t WriteMemory(uint32_t port, uint64_t address, const void *data, uint32_t bytes, ByteSwap swap,
                        uint32_t timeout) override {
        written.assign(static_cast<const uint8_t *>(data), static_cast<const uint8_t *>(data) + bytes);
        calls.push_back({"WriteMemory", port, address, bytes, 0, swap, timeout});
        return status;
    }
    int32_t WriteRaw(uint32_t, uint64_t, const void *, uint32_t, ByteSwap, uint32_t) override { return ERR_INTERNAL; }
    int32_t WriteRegister(uint32_t port, uint64_t address, uint32_t value, ByteSwap swap, AcknowledgeMode mode,
                          uint32_t timeout) override {
        calls.push_back({"WriteRegister", port, address, 4, value, swap, timeout});
        acknowledgeMode = mode;
        return status;
    }
    int32_t ReadMemory(uint32_t, uint64_t, void *, uint32_t, uint32_t) override { return ERR_INTERNAL; }
    int32_t ReadRaw(uint32_t port, uint64_t address, void *buffer, uint32_t bytes, ByteSwap swap,
                    uint32_t timeout) override {
        calls.push_back({"ReadRaw", port, address, bytes, 0, swap, timeout});
        if (status != ERR_NONE) return status;
        for (uint32_t i = 0; i < bytes; ++i) static_cast<uint8_t *>(buffer)[i] = static_cast<uint8_t>(0xA0 + i);
        return ERR_NONE;
    }
    vexo::genicam::DiscoveryInfo *GetDiscoveryInfo(bool) override { return nullptr; }
    int32_t Discovery(uint32_t, uint32_t, uint32_t, uint32_t) override { return 0; }
    bool IsLinkConfigRegister(uint64_t address) override {
        return address >= bootstrap::kConnectionReset && address <= bootstrap::kConnectionConfig;
    }

    std::vector<Call> calls;
    std::vector<uint8_t> written;
    AcknowledgeMode acknowledgeMode = AcknowledgeMode::kNone;
    int32_t status = ERR_NONE;
};

class Board : public vexo::genicam::NOXInterface {
public:
    explicit Board(std::unique_ptr<RecordingController> controller) { controller_ = std::move(controller); }
};

struct PortOnBoard {
    PortOnBoard() {
        auto owned = std::make_unique<RecordingController>();
        controller = owned.get();
        board = std::make_unique<Board>(std::move(owned));
    }
    RecordingController *controller;
    std::unique_ptr<Board> board;
};

TEST(TransportLayer, WritesOfFourBytesAreRegisterWritesOthersMemoryWrites) {
    PortOnBoard setup;
    CTransportLayer port(setup.board.get(), 2);
    EXPECT_EQ(port.GetAccessMode(), GenApi::RW);

    const uint32_t value = 0x11223344;
    port.Write(&value, 0x6008, 4);
    const uint8_t block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    port.Write(block, 0x6100, 8);
    // Host order as handed over; the controller owns the wire's byte order.
    using Call = RecordingController::Call;
    EXPECT_EQ(setup.controller->calls,
              (std::vector<Call>{{"WriteRegister", 2, 0x6008, 4, value, ByteSwap::kWireOrder, 0},
                                 {"WriteMemory", 2, 0x6100, 8, 0, ByteSwap::kWireOrder, 0}}));
    EXPECT_EQ(setup.controller->acknowledgeMode, AcknowledgeMode::kRequired);
    EXPECT_EQ(setup.controller->written, std::vector<uint8_t>(block, block + 8));
}

TEST(TransportLayer, LinkConfigurationRegistersAreNotWritten) {
    PortOnBoard setup;
    CTransportLayer port(setup.board.get(), 0);
    const uint32_t value = 0x2000;
    for (int64_t address : {bootstrap::kConnectionReset, bootstrap::kMasterHostConnectionId,
                             bootstrap::kStreamPacketSizeMax, bootstrap::kConnectionConfig})
        EXPECT_NO_THROW(port.Write(&value, address, 4));
    EXPECT_TRUE(setup.controller->calls.empty());
    port.Write(&value, bootstrap::kConnectionConfigDefault, 4);
    EXPECT_EQ(setup.controller->calls.size(), 1u);
}

// (Reads and their failures reaching the application are the road's feature and failed-read cases.)
TEST(TransportLayer, RefusesAccessesThatWouldBeCutAndBoardsWithoutController) {
    PortOnBoard setup;
    CTransportLayer port(setup.board.get(), 0);
    uint8_t buffer[4] = {};
    EXPECT_THROW(port.Read(buffer, -4, 4), std::runtime_error);
    EXPECT_THROW(port.Read(buffer, 0, -1), std::runtime_error);
    EXPECT_THROW(port.Read(buffer, 0, int64_t{1} << 32), std::runtime_error);
    EXPECT_TRUE(setup.controller->calls.empty());

    CTransportLayer detached(nullptr, 0);
    try {
        detached.Read(buffer, 0, 4);
        ADD_FAILURE() << "no exception without a board";
    } catch (const std::runtime_error &error) {
        EXPECT_STREQ(error.what(), Nox_getErrorDescription(ERR_NO_CXP_INTERFACE));
    }
    EXPECT_THROW(detached.Write(buffer, 0, 4), std::runtime_error);
}

}  // namespace
