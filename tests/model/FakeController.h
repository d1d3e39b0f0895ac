#pragma once
// A link controller for board-model tests: the discovery info is scripted by
// the test, link state and camera registers answer from fields.
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "board/FirmwareControllerBase.h"
#include "discovery/DiscoveryInfo.h"
#include "nox_genicam.h"
#include "platform/RecursiveMutex.h"
#include "protocol/CxpBitRates.h"
#include "protocol/CxpBootstrap.h"

namespace nox_test {

using vexo::genicam::AcknowledgeMode;
using vexo::genicam::ByteSwap;

class FakeController : public vexo::genicam::FirmwareControllerBase {
public:
    using DiscoveryInfo = vexo::genicam::DiscoveryInfo;

    FakeController(uint64_t device, uint64_t applet, vexo::genicam::ControllerOwner *owner)
        : FirmwareControllerBase(device, applet, owner) {}

    // What Discovery does to the model; its result is Discovery's.
    std::function<int32_t(DiscoveryInfo &)> discover = [](DiscoveryInfo &) { return 0; };
    std::set<uint32_t> unsynchronizedPorts;
    std::set<uint32_t> uncheckablePorts;  // CheckLinkSync cannot look (a lock not had in time)
    // `hook` is called with the name of each recorded operation as it starts,
    // on its thread and under whatever the operation holds (the link lock for PowerOn).
    void OnReach(std::function<void(const std::string &)> hook) {
        std::lock_guard<std::mutex> lock(mutex_);
        reached_ = std::move(hook);
    }
    std::map<uint64_t, uint32_t> cameraRegisters;  // address -> value, per command port ignored

    struct Call {
        std::string name;
        std::vector<uint64_t> arguments;
    };
    std::vector<Call> Calls() {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    int CountCalls(const std::string &name) {
        std::lock_guard<std::mutex> lock(mutex_);
        int count = 0;
        for (const auto &call : calls_) count += call.name == name;
        return count;
    }
    DiscoveryInfo &Info() { return info_; }

    int32_t WriteMemory(uint32_t, uint64_t, const void *, uint32_t, ByteSwap, uint32_t) override { return 0; }
    int32_t WriteRaw(uint32_t, uint64_t, const void *, uint32_t, ByteSwap, uint32_t) override { return 0; }
    int32_t WriteRegister(uint32_t port, uint64_t address, uint32_t value, ByteSwap swap, AcknowledgeMode mode,
                          uint32_t) override {
        Record("WriteRegister", {port, address, value, static_cast<uint64_t>(swap), static_cast<uint64_t>(mode)});
        cameraRegisters[address] = value;
        return 0;
    }
    int32_t ReadMemory(uint32_t, uint64_t, void *, uint32_t, uint32_t) override { return 0; }
    int32_t ReadRaw(uint32_t port, uint64_t address, void *buffer, uint32_t bytes, ByteSwap swap, uint32_t) override {
        Record("ReadRaw", {port, address, bytes, static_cast<uint64_t>(swap)});
        auto found = cameraRegisters.find(address);
        if (found == cameraRegisters.end() || bytes != 4) return ERR_CXP_INVALID_ADDRESS;
        std::memcpy(buffer, &found->second, 4);
        return 0;
    }
    DiscoveryInfo *GetDiscoveryInfo(bool) override { return &info_; }
    int32_t LockLinks(uint32_t mask, uint32_t speed) override {
        Record("LockLinks", {mask, speed});
        return 0;
    }
    int32_t SetLinkConfig(uint32_t master, uint32_t speed, uint32_t links, uint32_t, uint32_t *) override {
        Record("SetLinkConfig", {master, speed, links});
        cameraRegisters[vexo::protocol::cxp::bootstrap::kConnectionConfig] =
            links << 16 | vexo::protocol::cxp::RateCode(6250);
        return 0;
    }
    uint32_t GetAppletMasterId(uint32_t port) override { return info_.GetApMasterId(port); }
    uint32_t GetAppletExtensionId(uint32_t port) override { return info_.GetApExtensionId(port); }
    int32_t SetDiscoverySelect(vexo::genicam::DiscoverySelect value) override {
        Record("SetDiscoverySelect", {value.Value()});
        routing_ = value;
        return 0;
    }
    vexo::genicam::DiscoverySelect GetDiscoverySelect() override { return routing_; }
    int32_t ReadControlPacketSizeMax(uint32_t port, uint32_t *value) override {
        Record("ReadControlPacketSizeMax", {port});
        *value = 1024;
        return 0;
    }
    int32_t WriteStreamPacketSizeMax(uint32_t port, uint32_t value) override {
        Record("WriteStreamPacketSizeMax", {port, value});
        return 0;
    }
    int32_t Discovery(uint32_t, uint32_t speed, uint32_t mask, uint32_t flags) override {
        Record("Discovery", {speed, mask, flags});
        return discover(info_);
    }
    void PowerOn(uint32_t portMask, uint32_t) override {
        vexo::templates::platform::RecursiveMutex::Guard guard(LinkMutex());
        Record("PowerOn", {portMask});
    }
    LinkSync CheckLinkSync(uint32_t port) override {
        Record("CheckLinkSync", {port});
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (uncheckablePorts.count(port) != 0) return LinkSync::kUnknown;
        }
        return FirmwareControllerBase::CheckLinkSync(port);
    }
    void SetCheckable(uint32_t port, bool checkable) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (checkable) uncheckablePorts.erase(port);
        else uncheckablePorts.insert(port);
    }
    bool IsLinkSynchronized(uint32_t port) override {
        Record("IsLinkSynchronized", {port});
        std::lock_guard<std::mutex> lock(mutex_);
        return unsynchronizedPorts.count(port) == 0;
    }
    void SetSynchronized(uint32_t port, bool synchronized) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (synchronized) unsynchronizedPorts.erase(port);
        else unsynchronizedPorts.insert(port);
    }

private:
    void Record(const std::string &name, std::vector<uint64_t> arguments) {
        std::function<void(const std::string &)> hook;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            hook = reached_;
        }
        if (hook) hook(name);
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back({name, std::move(arguments)});
    }

    std::mutex mutex_;
    std::function<void(const std::string &)> reached_;
    std::vector<Call> calls_;
    DiscoveryInfo info_;
    vexo::genicam::DiscoverySelect routing_;
};

}  // namespace nox_test
