#pragma once
// Reads the quoted includes of a source tree and names every one that breaks
// its floors: a src/ folder includes only the folders below it; the simulator
// and the tools include nothing of src/; protocol/ is the only folder reached
// from the tree's root, and it includes nothing but itself.
#include <filesystem>
#include <string>
#include <vector>

namespace nox_test {

struct FloorViolation {
    std::string file;     // relative to the tree's root
    int line = 0;
    std::string include;  // the quoted path
    std::string reason;
};

// floors: the src/ folders, lowest first.
std::vector<FloorViolation> CheckIncludeFloors(const std::filesystem::path &root,
                                               const std::vector<std::string> &floors);

std::string Describe(const FloorViolation &violation);

}  // namespace nox_test
