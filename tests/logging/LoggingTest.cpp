#include <gtest/gtest.h>

#include <tuple>

#include "FakeRelay.h"
#include "logging/Logging.h"

using nox_test::FakeRelay;
using vexo::tools::logging::Logger;
using vexo::tools::logging::Logging;

TEST(Logging, WithoutARelayEveryNameIsTheSilentDefaultLogger) {
    Logging logging;
    Logger *library = logging.GetLogger("vexo.genicam.lib");
    EXPECT_EQ(library, logging.GetLogger("vexo.genicam.CxpController"));
    EXPECT_EQ(library->Identity(), 0u);
    EXPECT_FALSE(library->IsEnabled(5));
    EXPECT_FALSE(logging.IsRelayAttached());
    library->Write(5, "dropped");  // nowhere to go, and no fault
}

TEST(Logging, NamesOfOneIdentityShareALoggerAndWritesReachTheRelay) {
    FakeRelay::identities = {{"vexo.genicam.lib", 7}, {"vexo.genicam.lib.alias", 7}};
    Logging logging;
    logging.AttachRelay(FakeRelay::Descriptor());
    EXPECT_EQ(FakeRelay::attachedContext, &logging);
    Logger *library = logging.GetLogger("vexo.genicam.lib");
    EXPECT_EQ(logging.GetLogger("vexo.genicam.lib.alias"), library);
    Logger *controller = logging.GetLogger("vexo.genicam.CxpController");
    EXPECT_NE(controller, library);
    EXPECT_EQ(library->Identity(), 7u);
    EXPECT_EQ(library->Threshold(), 3u);
    EXPECT_FALSE(library->IsEnabled(2));
    EXPECT_TRUE(library->IsEnabled(3));

    library->Write(4, "record text");
    ASSERT_EQ(FakeRelay::records.size(), 1u);
    const nox_test::RelayRecord &record = FakeRelay::records[0];
    EXPECT_EQ(std::tie(record.identity, record.level, record.text, record.value, record.pointer),
              std::make_tuple(7u, 4u, "record text", 0u, nullptr));
}

TEST(Logging, ThresholdNotificationsReachOnlyTheirLoggerAndDetachSilencesEverything) {
    FakeRelay::identities = {{"a", 11}, {"b", 12}};
    Logging logging;
    logging.AttachRelay(FakeRelay::Descriptor());
    Logger *a = logging.GetLogger("a");
    Logger *b = logging.GetLogger("b");
    FakeRelay::thresholdNotification(11, 1);
    EXPECT_TRUE(a->IsEnabled(1));
    EXPECT_FALSE(b->IsEnabled(1));
    FakeRelay::thresholdNotification(99, 1);  // unknown identity: nothing changes
    EXPECT_EQ(b->Threshold(), 3u);
    // A later lookup of the name keeps the notified threshold.
    EXPECT_EQ(logging.GetLogger("a")->Threshold(), 1u);

    FakeRelay::detachNotification();
    EXPECT_FALSE(logging.IsRelayAttached());
    // The old logger may still say yes, but its records go nowhere.
    EXPECT_TRUE(a->IsEnabled(1));
    a->Write(5, "after detach");
    EXPECT_TRUE(FakeRelay::records.empty());
    EXPECT_EQ(logging.GetLogger("a")->Identity(), 0u);
}

TEST(Logging, DestructionDetachesFromTheRelay) {
    FakeRelay::detachedContext = nullptr;
    void *address = nullptr;
    {
        Logging logging;
        address = &logging;
        logging.AttachRelay(FakeRelay::Descriptor());
        logging.GetLogger("x");
    }
    EXPECT_EQ(FakeRelay::detachedContext, address);
}
