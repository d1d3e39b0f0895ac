#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "TempDirectory.h"
#include "board/BoardLibraries.h"

using vexo::genicam::BoardLibraries;
namespace fs = std::filesystem;

namespace {

// An installation folder whose lib/ receives stand-in libraries under their real names.
class FakeInstallation {
public:
    BoardLibraries::FolderProvider Provider() const {
        return [path = directory_.Path().string()] { return std::optional<std::string>(path); };
    }
    void Install(const char *stub, const char *name) {
        fs::create_directories(directory_ / "lib");
        fs::copy_file(stub, directory_ / "lib" / name, fs::copy_options::overwrite_existing);
    }
    int CallCount(const char *name) const {
        void *library = ::dlopen((directory_ / "lib" / name).c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (library == nullptr) return -1;
        auto count = reinterpret_cast<int (*)()>(::dlsym(library, "stub_call_count"));
        const int result = count ? count() : -1;
        ::dlclose(library);
        return result;
    }

private:
    nox_test::TempDirectory directory_;
};

}  // namespace

// Every entry point is looked up by one helper: one operation of each library
// and each shape of answer stands for the others.
TEST(BoardLibraries, WithoutAnInstallationFolderOrItsLibrariesEveryOperationFails) {
    BoardLibraries libraries([] { return std::optional<std::string>(); });
    EXPECT_EQ(libraries.LoadHardwareLibrary(), LibraryNotLoaded);
    EXPECT_EQ(libraries.LoadAppletRuntime(), -1);
    EXPECT_EQ(libraries.LoadGrabberLibrary(), LibraryNotLoaded);
    uint64_t value = 77;
    EXPECT_EQ(libraries.ReadBoardRegister(1, 2, &value), LibraryNotLoaded);
    EXPECT_EQ(value, 77u);
    EXPECT_EQ(libraries.QueryBoardIndex(1, 0), static_cast<uint32_t>(LibraryNotLoaded));
    EXPECT_EQ(libraries.FlushQueue(1, 0), LibraryNotLoaded);
    EXPECT_EQ(libraries.FindAppletRegister(1, "StreamPacketSize"), LibraryNotLoaded);
    EXPECT_EQ(libraries.OpenGrabber(0), nullptr);
    EXPECT_EQ(libraries.CloseGrabber(nullptr), LibraryNotLoaded);

    FakeInstallation installation;
    BoardLibraries empty(installation.Provider());
    EXPECT_EQ(empty.LoadHardwareLibrary(), LibraryNotLoaded);
    EXPECT_EQ(empty.LoadAppletRuntime(), -1);
}

TEST(BoardLibraries, ALibraryLackingEntryPointsLoadsAndOnlyThoseFail) {
    FakeInstallation installation;
    installation.Install(STUB_HAL_PARTIAL, "libvexo_hal.so");
    BoardLibraries libraries(installation.Provider());
    EXPECT_EQ(libraries.LoadHardwareLibrary(), 0);
    uint64_t value = 0;
    EXPECT_EQ(libraries.ReadBoardRegister(2, 0x10, &value), 0);
    EXPECT_EQ(value, 0x20010u);
    EXPECT_EQ(libraries.QueryBoardIndex(0, 0), 3u);
    EXPECT_EQ(installation.CallCount("libvexo_hal.so"), 2);
    uint32_t rx = 0, tx = 0;
    EXPECT_EQ(libraries.OpenSerialPort(0, 0, 9600, &rx, &tx), LibraryNotLoaded);
    EXPECT_EQ(libraries.QueryCameraStatus(0, 0), static_cast<uint32_t>(LibraryNotLoaded));
    EXPECT_EQ(libraries.ReleaseQueue(0, 0), LibraryNotLoaded);
    // Nothing was called for the missing ones.
    EXPECT_EQ(installation.CallCount("libvexo_hal.so"), 2);
}

TEST(BoardLibraries, ALibraryThatAppearsLaterIsLoadedByTheNextCall) {
    FakeInstallation installation;
    BoardLibraries libraries(installation.Provider());
    EXPECT_EQ(libraries.LoadHardwareLibrary(), LibraryNotLoaded);
    EXPECT_EQ(libraries.FindAppletRegister(0, "abc"), LibraryNotLoaded);
    EXPECT_EQ(libraries.OpenGrabber(1), nullptr);

    installation.Install(STUB_HAL_FULL, "libvexo_hal.so");
    installation.Install(STUB_OPMOD, "libopmod.so");
    installation.Install(STUB_GRABLIB5, "libgrablib5.so");
    EXPECT_EQ(libraries.QueryBoardInfo(0, "board/type"), 0x0C41);
    EXPECT_EQ(libraries.CountQueueWords(0, 1), 5);
    EXPECT_EQ(libraries.FindAppletRegister(0, "abc"), 24);
    GrabberSession *session = libraries.OpenGrabber(1);
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(vexo::genicam::SessionDeviceHandle(session), 0x1001u);
    EXPECT_EQ(vexo::genicam::SessionAppletHandle(session), 0x2001u);
    EXPECT_EQ(libraries.CloseGrabber(session), 0);
}

#include "api/CallFrame.h"

TEST(BoardLibraries, SessionContextItemsComeFromTheBoardLibrary) {
    FakeInstallation installation;
    installation.Install(STUB_HAL_FULL, "libvexo_hal.so");
    installation.Install(STUB_GRABLIB5, "libgrablib5.so");
    BoardLibraries libraries(installation.Provider());
    BoardLibraries *previous = BoardLibraries::ReplaceProcess(&libraries);
    GrabberSession *session = vexo::genicam::OpenGrabber(0);
    ASSERT_NE(session, nullptr);
    // The stand-in answers 0x0C41 for every key and index 3.
    EXPECT_EQ(vexo::genicam::SessionItems(session), ",board-index=3,board-serial=3137,board-type=3137");
    EXPECT_EQ(vexo::genicam::SessionItems(nullptr), "");
    vexo::genicam::CloseGrabber(session);
    BoardLibraries::ReplaceProcess(previous);
}
