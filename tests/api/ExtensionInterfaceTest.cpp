// The extension interface against the virtual frame grabber: feature listing and information
// compared with the camera's own node map, the board listing, and the thread's last error text.
#include <gtest/gtest.h>

#include <array>
#include <tuple>
#include <thread>

#include "GenICamRoad.h"
#include "genapi/GenApi.h"
#include "model/NOXCameraInterface.h"
#include "nox_genicam_ext.h"

using namespace GenApi;
using nox_test::LoggedRoad;

namespace {

struct InfoDeleter {
    void operator()(NoxFeatureInfo *info) const { EXPECT_EQ(Nox_freeFeatureInfo(info), ERR_NONE); }
};
using InfoPointer = std::unique_ptr<NoxFeatureInfo, InfoDeleter>;

InfoPointer Describe(NoxCameraHandle *camera, const char *name) {
    NoxFeatureInfo *info = nullptr;
    EXPECT_EQ(Nox_getFeatureInfo(camera, name, &info), ERR_NONE) << name << ": " << Nox_getLastErrorText();
    return InfoPointer(info);
}

std::vector<NoxFeatureListEntry> Listed(NoxCameraHandle *camera, std::vector<std::string> &storage) {
    NoxFeatureList *list = nullptr;
    EXPECT_EQ(Nox_getFeatureList(camera, &list), ERR_NONE);
    std::vector<NoxFeatureListEntry> entries;
    if (list == nullptr) return entries;
    entries.assign(list->features, list->features + list->count);
    // The texts are copied before the list is freed.
    storage.reserve(2 * entries.size());
    for (NoxFeatureListEntry &entry : entries) {
        entry.name = storage.emplace_back(entry.name).c_str();
        entry.categoryPath = storage.emplace_back(entry.categoryPath).c_str();
    }
    EXPECT_EQ(Nox_freeFeatureList(list), ERR_NONE);
    return entries;
}

INodeMap &NodeMapOf(NoxCameraHandle *camera) { return *vexo::genicam::LiveCamera(camera)->NodeMap(); }

uint32_t TypeOf(INode *node) {
    if (CIntegerPtr(node).IsValid()) return NOX_FEATURE_INTEGER;
    if (CFloatPtr(node).IsValid()) return NOX_FEATURE_FLOAT;
    if (CStringPtr(node).IsValid()) return NOX_FEATURE_STRING;
    if (CBooleanPtr(node).IsValid()) return NOX_FEATURE_BOOLEAN;
    if (CEnumerationPtr(node).IsValid()) return NOX_FEATURE_ENUMERATION;
    if (CCommandPtr(node).IsValid()) return NOX_FEATURE_COMMAND;
    if (CCategoryPtr(node).IsValid()) return NOX_FEATURE_CATEGORY;
    return NOX_FEATURE_OTHER;
}

// A number's range, unit and representation as the node says them; a range the
// node map cannot tell now (a SwissKnife has none) is no range.
template <class Number, class Node>
void ExpectNumber(const NoxFeatureInfo &info, uint32_t hasRange, Number minimum, Number maximum, Number increment,
                  Node &node) {
    bool ranged = true;
    try {
        node.GetMin(), node.GetMax(), node.GetInc();
    } catch (const GenICam::GenericException &) {
        ranged = false;
    }
    ASSERT_EQ(hasRange, ranged ? 1u : 0u);
    if (ranged) {
        EXPECT_EQ(std::make_tuple(minimum, maximum, increment),
                  std::make_tuple(node.GetMin(), node.GetMax(), node.GetInc()));
    }
    EXPECT_EQ(info.unit, node.GetUnit());
    EXPECT_EQ(info.representation, static_cast<uint32_t>(node.GetRepresentation()));
}

// Everything the information says, checked against the node map's own answers now.
void ExpectAsTheNodeMapSays(const NoxFeatureInfo &info, INode *node) {
    SCOPED_TRACE(info.name);
    EXPECT_EQ(info.type, TypeOf(node));
    EXPECT_EQ(info.access, static_cast<uint32_t>(node->GetAccessMode()));
    EXPECT_EQ(info.visibility, static_cast<uint32_t>(node->GetVisibility()));
    EXPECT_EQ(info.displayName, node->GetDisplayName());
    EXPECT_EQ(info.toolTip, node->GetToolTip());
    EXPECT_EQ(info.description, node->GetDescription());
    if (CIntegerPtr integer = node; integer.IsValid()) {
        ExpectNumber(info, info.hasIntegerRange, info.integerMin, info.integerMax, info.integerIncrement, *integer);
    } else if (CFloatPtr number = node; number.IsValid()) {
        ExpectNumber(info, info.hasFloatRange, info.floatMin, info.floatMax, info.floatIncrement, *number);
    } else {
        EXPECT_EQ(info.hasIntegerRange + info.hasFloatRange, 0u);
        EXPECT_STREQ(info.unit, "");
    }
    NodeList_t entries;
    if (CEnumerationPtr enumeration = node; enumeration.IsValid()) enumeration->GetEntries(entries);
    ASSERT_EQ(info.entryCount, entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(info.entries[i].name, CEnumEntryPtr(entries[i])->GetSymbolic());
        EXPECT_EQ(info.entries[i].value, CEnumEntryPtr(entries[i])->GetValue());
        EXPECT_EQ(info.entries[i].available, IsAvailable(entries[i]->GetAccessMode()) ? 1u : 0u);
    }
    CSelectorPtr selector = node;
    FeatureList_t selected;
    if (selector.IsValid() && selector->IsSelector()) selector->GetSelectedFeatures(selected);
    EXPECT_EQ(info.isSelector, selector.IsValid() && selector->IsSelector() ? 1u : 0u);
    ASSERT_EQ(info.selectedCount, selected.size());
    for (size_t i = 0; i < selected.size(); ++i) EXPECT_EQ(info.selectedFeatures[i], selected[i]->GetNode()->GetName());
}

TEST(FeatureInformation, EveryFeatureOfTheBuiltInDescriptionIsListedAndDescribedAsTheNodeMapSays) {
    LoggedRoad road;
    NoxCameraHandle *camera = road.Connected(0);
    INodeMap &map = NodeMapOf(camera);
    NodeList_t nodes;
    map.GetNodes(nodes);
    std::vector<std::string> texts;
    const std::vector<NoxFeatureListEntry> listed = Listed(camera, texts);
    ASSERT_EQ(listed.size(), nodes.size());
    for (size_t i = 0; i < listed.size(); ++i) {
        EXPECT_EQ(listed[i].name, nodes[i]->GetName()) << "description order";
        EXPECT_EQ(listed[i].type, TypeOf(nodes[i])) << listed[i].name;
        const InfoPointer info = Describe(camera, listed[i].name);
        ASSERT_NE(info, nullptr);
        EXPECT_STREQ(info->categoryPath, listed[i].categoryPath);
        ExpectAsTheNodeMapSays(*info, nodes[i]);
    }
    // The paths follow the categories from Root; registers behind features lie on no path.
    auto pathOf = [&](const std::string &name) {
        for (const NoxFeatureListEntry &entry : listed)
            if (entry.name == name) return std::string(entry.categoryPath);
        return std::string("(not listed)");
    };
    EXPECT_EQ(pathOf("Root"), "");
    EXPECT_EQ(pathOf("ImageFormatControl"), "Root");
    EXPECT_EQ(pathOf("Width"), "Root/ImageFormatControl");
    EXPECT_EQ(pathOf("WidthReg"), "");

    // The information is the node map's now: Width's maximum follows the offset.
    ASSERT_EQ(Nox_setIntegerValue(camera, "Width", 1024), ERR_NONE);
    ASSERT_EQ(Nox_setIntegerValue(camera, "OffsetX", 1024), ERR_NONE);
    EXPECT_EQ(Describe(camera, "Width")->integerMax, 4096 - 1024);
}

TEST(FeatureInformation, RefusalsComeInTheirOrderAndRecordsAreFreedOnce) {
    LoggedRoad road;
    NoxCameraHandle *camera = road.Camera(0);
    NoxFeatureInfo *info = nullptr;
    NoxFeatureList *list = nullptr;
    EXPECT_EQ(Nox_getFeatureInfo(nullptr, "Width", &info), ERR_INVALID_CAMERA_HANDLE);
    EXPECT_EQ(Nox_getFeatureInfo(camera, "", &info), ERR_INVALID_FEATURE);
    EXPECT_EQ(Nox_getFeatureInfo(camera, "Width", nullptr), ERR_INVALID_ARGUMENT);
    EXPECT_EQ(Nox_getFeatureInfo(camera, "Width", &info), ERR_NO_GENICAM_CONNECTION);
    EXPECT_EQ(Nox_getFeatureList(camera, nullptr), ERR_INVALID_ARGUMENT);
    EXPECT_EQ(Nox_getFeatureList(camera, &list), ERR_NO_GENICAM_CONNECTION);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(list, nullptr);

    road.Connected(0);
    EXPECT_EQ(Nox_getFeatureInfo(camera, "NoSuchFeature", &info), ERR_INVALID_FEATURE);
    ASSERT_EQ(Nox_getFeatureInfo(camera, "Width", &info), ERR_NONE);
    ASSERT_EQ(Nox_getFeatureList(camera, &list), ERR_NONE);
    // Records outlive the node map that was described.
    ASSERT_EQ(Nox_disconnectCamera(camera), ERR_NONE);
    EXPECT_EQ(Nox_getFeatureInfo(camera, "Width", &info), ERR_NO_GENICAM_CONNECTION);
    EXPECT_STREQ(info->name, "Width");
    EXPECT_GT(list->count, 0u);
    EXPECT_EQ(Nox_freeFeatureInfo(info), ERR_NONE);
    EXPECT_EQ(Nox_freeFeatureInfo(info), ERR_INVALID_ARGUMENT);
    EXPECT_EQ(Nox_freeFeatureInfo(nullptr), ERR_INVALID_ARGUMENT);
    EXPECT_EQ(Nox_freeFeatureList(reinterpret_cast<NoxFeatureList *>(info)), ERR_INVALID_ARGUMENT);
    EXPECT_EQ(Nox_freeFeatureList(list), ERR_NONE);
    EXPECT_EQ(Nox_freeFeatureList(list), ERR_INVALID_ARGUMENT);
}

// The listing itself is noxcam's boards case; here the refusal, the short list and the type codes.
TEST(BoardList, EveryBoardIsListedWithoutOpeningABoardObject) {
    LoggedRoad road(R"({"boards": [{"model": "cxp4-c", "serial": 5}, {"model": "cxp2-b", "serial": 77},
                                   {"model": "cxp4-a"}]})",
                    false);
    uint32_t count = 0;
    EXPECT_EQ(Nox_getBoardList(nullptr, 0, nullptr), ERR_INVALID_ARGUMENT);
    std::vector<NoxBoardListEntry> boards(4);
    ASSERT_EQ(Nox_getBoardList(boards.data(), 4, &count), ERR_NONE);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(boards[0].typeCode, 0x0C41);
    EXPECT_EQ(boards[2].typeCode, 0x0A41);
    // Too small a list gets what fits and the whole count.
    NoxBoardListEntry first{};
    EXPECT_EQ(Nox_getBoardList(&first, 1, &count), ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(first.typeCode, 0x0C41);
    // The board the road opened is still there to use.
    EXPECT_EQ(Nox_getCameraCount(road.Board()), 0);
}

TEST(LastErrorText, TellsWhyTheThreadsLastCallFailedWhateverTheLogLevel) {
    ::unsetenv("VEXO_LOG");  // silent: no record reaches the log
    GenICamInit();
    int64_t value = 0;
    EXPECT_STREQ(Nox_getLastErrorText(), "");
    EXPECT_EQ(Nox_getIntegerValue(nullptr, "Width", &value), ERR_INVALID_CAMERA_HANDLE);
    const std::string refusal = Nox_getLastErrorText();
    EXPECT_EQ(refusal.rfind("thread-id=", 0), 0u) << refusal;
    EXPECT_TRUE(refusal.ends_with("|Invalid camera handle")) << refusal;
    EXPECT_EQ(Nox_getLastErrorText(), refusal) << "asking does not forget";
    EXPECT_STREQ(Nox_getErrorDescription(ERR_INVALID_CAMERA_HANDLE), "Invalid camera handle");
    EXPECT_EQ(Nox_getLastErrorText(), refusal) << "nor does a status text";

    // Each thread has its own; the next call of the thread starts afresh.
    std::thread other([] {
        EXPECT_STREQ(Nox_getLastErrorText(), "");
        EXPECT_EQ(Nox_setFloatValue(nullptr, "", 1.0), ERR_INVALID_FEATURE);
        EXPECT_TRUE(std::string(Nox_getLastErrorText()).ends_with("|Invalid feature name"));
    });
    other.join();
    EXPECT_EQ(Nox_getLastErrorText(), refusal);
    uint32_t count = 0;
    EXPECT_EQ(Nox_getBoardList(nullptr, 0, &count), ERR_NONE);
    EXPECT_STREQ(Nox_getLastErrorText(), "");
    // Also a failure that writes no record of its own leaves nothing stale behind.
    EXPECT_EQ(Nox_getFeatureInfo(nullptr, "Width", nullptr), ERR_INVALID_CAMERA_HANDLE);
    EXPECT_EQ(Nox_getCameraCount(nullptr), ERR_INVALID_BOARD_HANDLE);
    EXPECT_STREQ(Nox_getLastErrorText(), "");
    GenICamDeinit();
}

}  // namespace

namespace {

// What the cameras of the default topology took from writes: a link connect writes their master id and
// link configuration; attaching to links that are up writes nothing. (A control core reset shows in
// the error counters no more: it clears them.)
std::array<uint64_t, 2> BytesWritten() {
    std::array<uint64_t, 2> written{};
    for (uint32_t i = 0; i < written.size(); ++i) {
        vexosim_port_stats stats{};
        EXPECT_EQ(vexosim_stats(0, 2 * i, &stats), 0);
        written[i] = stats.bytesWritten;
    }
    return written;
}

// The width a second user of the board reads from the camera in the slot.
int64_t Width(const nox_test::OpenBoard &user, uint32_t slot) {
    int64_t width = 0;
    EXPECT_EQ(Nox_connectCamera(user.Camera(slot)), ERR_NONE);
    EXPECT_EQ(Nox_getIntegerValue(user.Camera(slot), "Width", &width), ERR_NONE);
    return width;
}

}  // namespace

TEST(AttachBoardConfiguration, TakesLinksThatAreUpAsTheyAreAndConnectsTheOthers) {
    LoggedRoad road;
    road.Connected(0);
    road.Connected(1);
    const std::string layout = (road.Directory() / "layout.xml").string();
    ASSERT_EQ(Nox_SaveBoardConfiguration(road.Board(), layout.c_str()), ERR_NONE);
    const std::array<uint64_t, 2> before = BytesWritten();
    {
        nox_test::OpenBoard second(0);
        ASSERT_EQ(Nox_attachBoardConfiguration(second.Handle(), layout.c_str()), ERR_NONE) << Nox_getLastErrorText();
        EXPECT_EQ(BytesWritten(), before) << "the links were set up anew";
        EXPECT_EQ(Width(second, 0), 4096);
        EXPECT_EQ(Width(second, 1), 4096);
    }

    // A camera back at its discovery speed no longer matches the file: its links are connected afresh.
    ASSERT_EQ(vexosim_plug(0, 2, 0), 0);
    ASSERT_EQ(vexosim_plug(0, 2, 1), 0);
    const std::array<uint64_t, 2> replugged = BytesWritten();
    nox_test::OpenBoard third(0);
    ASSERT_EQ(Nox_attachBoardConfiguration(third.Handle(), layout.c_str()), ERR_NONE) << Nox_getLastErrorText();
    EXPECT_EQ(BytesWritten()[0], replugged[0]) << "the first camera's links are still up";
    EXPECT_GT(BytesWritten()[1], replugged[1]);
    EXPECT_EQ(Width(third, 1), 4096);
    EXPECT_EQ(nox_test::CameraRegister(third.Camera(1), 0x4014), 0x00010048u) << "1 link at 6250 again";

    EXPECT_EQ(Nox_attachBoardConfiguration(nullptr, layout.c_str()), ERR_INVALID_BOARD_HANDLE);
    EXPECT_EQ(Nox_attachBoardConfiguration(third.Handle(), ""), ERR_INVALID_FILENAME);
    EXPECT_EQ(Nox_attachBoardConfiguration(third.Handle(), (road.Directory() / "none.xml").c_str()), ERR_INVALID_FILENAME);
}
