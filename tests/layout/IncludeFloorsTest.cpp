#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "IncludeFloors.h"
#include "TempDirectory.h"

namespace fs = std::filesystem;
using nox_test::CheckIncludeFloors;
using nox_test::WriteFile;

namespace {

std::vector<std::string> Floors() {
    std::vector<std::string> floors;
    std::stringstream list(NOX_FLOORS);
    for (std::string floor; std::getline(list, floor, ',');) floors.push_back(floor);
    return floors;
}

}  // namespace

TEST(IncludeFloors, TheTreeKeepsItsFloors) {
    const auto violations = CheckIncludeFloors(NOX_SOURCE_DIR, Floors());
    for (const auto &violation : violations) ADD_FAILURE() << Describe(violation);
}

TEST(IncludeFloors, UpwardAndOutsideIncludesAreNamed) {
    nox_test::TempDirectory tree;
    const fs::path root = tree.Path();
    WriteFile(root / "src/platform/Lock.h", "#pragma once\n");
    WriteFile(root / "src/board/Board.h", "#include \"platform/Lock.h\"\n");
    WriteFile(root / "src/cxp/Cxp.cpp", "#include \"board/Board.h\"\n#include \"cxp/Cxp.h\"\n");
    // Planted: a lower floor reaching up, and the tool and the simulator reaching into src/.
    WriteFile(root / "src/board/Up.cpp", "#include <vector>\n  #  include \"cxp/Cxp.h\"\n");
    WriteFile(root / "tools/noxcam/Main.cpp", "#include \"board/Board.h\"\n");
    WriteFile(root / "sim/board/Sim.cpp", "#include \"board/Board.h\"\n#include \"platform/Lock.h\"\n");
    WriteFile(root / "sim/board/Board.h", "#pragma once\n");
    // Shared names: every side may include them; they include nothing else, and
    // no other folder is reached from the root.
    WriteFile(root / "protocol/Names.h", "#include \"protocol/Codes.h\"\n#include \"board/Board.h\"\n");
    WriteFile(root / "protocol/Codes.h", "#pragma once\n");
    WriteFile(root / "src/platform/Names.cpp", "#include \"protocol/Codes.h\"\n");
    WriteFile(root / "tools/noxcam/Table.cpp", "#include \"protocol/Codes.h\"\n#include \"src/board/Board.h\"\n");
    WriteFile(root / "src/platform/Reach.cpp", "#include \"sim/board/Board.h\"\n");

    const auto violations = CheckIncludeFloors(root, {"platform", "board", "cxp"});
    std::vector<std::string> found;
    for (const auto &violation : violations) found.push_back(violation.file + ":" + violation.include);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{"protocol/Names.h:board/Board.h", "sim/board/Sim.cpp:platform/Lock.h",
                                               "src/board/Up.cpp:cxp/Cxp.h", "src/platform/Reach.cpp:sim/board/Board.h",
                                               "tools/noxcam/Main.cpp:board/Board.h",
                                               "tools/noxcam/Table.cpp:src/board/Board.h"}));
}
