#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "MemoryPort.h"
#include "TestDescription.h"
#include "genapi/GenApi.h"

using namespace GenApi;
using nox_test::kTestDescription;
using nox_test::MemoryPort;

namespace {

constexpr int kRounds = 300;

struct Camera {
    explicit Camera(uint32_t width) {
        port.PutBig32(0x100, width);
        std::memcpy(&port.bytes[0x200], "Nox Vision", 11);
        map = CNodeMapFactory(ContentType_Auto, kTestDescription, std::strlen(kTestDescription)).CreateNodeMap();
        map->Connect(&port);
    }
    MemoryPort port;
    std::unique_ptr<INodeMap> map;
};

// Reads a set of features again and again; counts reads that came back wrong.
void ReadFeatures(INodeMap &map, int64_t width, std::atomic<int> &wrong) {
    for (int round = 0; round < kRounds; ++round) {
        CIntegerPtr widthNode = map.GetNode("Width");
        CStringPtr vendor = map.GetNode("DeviceVendorName");
        CEnumerationPtr pixelFormat = map.GetNode("PixelFormat");
        FeatureList_t features;
        CCategoryPtr(map.GetNode("Root"))->GetFeatures(features);
        if (widthNode->GetValue() != width || vendor->GetValue() != "Nox Vision" || features.size() != 3 ||
            pixelFormat->GetAccessMode() != RW)
            ++wrong;
        NodeList_t nodes;
        if (round % 50 == 0) map.GetNodes(nodes);
    }
}

TEST(NodeMapConcurrency, ThreadsShareOneNodeMapAndUseTwoInParallel) {
    Camera first(640);
    Camera second(1280);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 3; ++i) threads.emplace_back([&] { ReadFeatures(*first.map, 640, wrong); });
    for (int i = 0; i < 2; ++i) threads.emplace_back([&] { ReadFeatures(*second.map, 1280, wrong); });
    // Meanwhile a writer on the first map: each indexed write lands where the
    // selector it just set points.
    threads.emplace_back([&] {
        CIntegerPtr selector = first.map->GetNode("BlackLevelSelector");
        CIntegerPtr level = first.map->GetNode("BlackLevel");
        for (int round = 0; round < kRounds; ++round) {
            selector->SetValue(round % 4);
            level->SetValue(round);
        }
    });
    for (std::thread &thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(first.port.Big32(0x170 + 4 * ((kRounds - 1) % 4)), static_cast<uint32_t>(kRounds - 1));
}

TEST(NodeMapConcurrency, DescriptionsAreParsedAndReleasedFromSeveralThreads) {
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&, i] {
            for (int round = 0; round < 5; ++round) {
                Camera camera(16 * (i + 1));
                ReadFeatures(*camera.map, 16 * (i + 1), wrong);
            }
        });
    }
    for (std::thread &thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
