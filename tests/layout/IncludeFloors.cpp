#include "IncludeFloors.h"

#include <algorithm>
#include <fstream>
#include <regex>

namespace nox_test {
namespace fs = std::filesystem;

namespace {

struct Include {
    int line;
    std::string path;
};

std::vector<Include> QuotedIncludes(const fs::path &file) {
    static const std::regex kInclude(R"re(^\s*#\s*include\s*"([^"]+)")re");
    std::vector<Include> includes;
    std::ifstream in(file);
    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
        std::smatch match;
        if (std::regex_search(text, match, kInclude)) includes.push_back({line, match[1]});
    }
    return includes;
}

bool IsSource(const fs::path &file) {
    const std::string extension = file.extension().string();
    return extension == ".h" || extension == ".hpp" || extension == ".c" || extension == ".cpp";
}

std::string FirstComponent(const std::string &path) {
    const size_t slash = path.find('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

int Rank(const std::vector<std::string> &floors, const std::string &folder) {
    const auto found = std::find(floors.begin(), floors.end(), folder);
    return found == floors.end() ? -1 : static_cast<int>(found - floors.begin());
}

template <class Visit>
void ForEachSource(const fs::path &tree, Visit &&visit) {
    if (!fs::is_directory(tree)) return;
    for (const auto &entry : fs::recursive_directory_iterator(tree))
        if (entry.is_regular_file() && IsSource(entry.path())) visit(entry.path());
}

// A src/ file may include its own folder, the folders below it and protocol/.
void CheckSrc(const fs::path &root, const std::vector<std::string> &floors, std::vector<FloorViolation> &out) {
    ForEachSource(root / "src", [&](const fs::path &file) {
        const std::string folder = fs::relative(file, root / "src").begin()->string();
        const int here = Rank(floors, folder);
        for (const Include &include : QuotedIncludes(file)) {
            const int there = Rank(floors, FirstComponent(include.path));
            if (here >= 0 && there > here)
                out.push_back({fs::relative(file, root).string(), include.line, include.path,
                               "src/" + folder + " includes src/" + FirstComponent(include.path) +
                                   ", a floor above it"});
        }
    });
}

// The simulator and the tools reach the library through its headers in include/
// and protocol/ only: an include that names a src/ file and none of their own is refused.
void CheckOutsider(const fs::path &root, const std::string &tree, std::vector<FloorViolation> &out) {
    ForEachSource(root / tree, [&](const fs::path &file) {
        for (const Include &include : QuotedIncludes(file)) {
            if (!fs::exists(root / "src" / include.path)) continue;
            if (fs::exists(file.parent_path() / include.path) || fs::exists(root / tree / include.path)) continue;
            out.push_back({fs::relative(file, root).string(), include.line, include.path,
                           tree + " includes the library's own source"});
        }
    });
}

// Sources reach protocol/ by a path from the tree's root; no other top-level
// folder may be reached that way ("src/board/...", "sim/..."), or the floors
// and the outsiders' limits above would be walked around.
void CheckRootPaths(const fs::path &root, std::vector<FloorViolation> &out) {
    for (const auto &tree : fs::directory_iterator(root)) {
        // Build trees and hidden folders hold no sources of ours.
        const bool hidden = tree.path().filename().string().starts_with(".");
        if (!tree.is_directory() || hidden || fs::exists(tree.path() / "CMakeCache.txt")) continue;
        ForEachSource(tree.path(), [&](const fs::path &file) {
            for (const Include &include : QuotedIncludes(file)) {
                const std::string first = FirstComponent(include.path);
                if (first.empty() || first == "protocol" || !fs::is_directory(root / first)) continue;
                out.push_back({fs::relative(file, root).string(), include.line, include.path,
                               "reaches " + first + "/ from the tree's root; only protocol/ is shared that way"});
            }
        });
    }
}

// protocol/ holds names only: it includes nothing but itself.
void CheckProtocol(const fs::path &root, std::vector<FloorViolation> &out) {
    ForEachSource(root / "protocol", [&](const fs::path &file) {
        for (const Include &include : QuotedIncludes(file))
            if (FirstComponent(include.path) != "protocol")
                out.push_back({fs::relative(file, root).string(), include.line, include.path,
                               "protocol/ includes something outside protocol/"});
    });
}

}  // namespace

std::vector<FloorViolation> CheckIncludeFloors(const fs::path &root, const std::vector<std::string> &floors) {
    std::vector<FloorViolation> violations;
    CheckSrc(root, floors, violations);
    CheckOutsider(root, "sim", violations);
    CheckOutsider(root, "tools", violations);
    CheckRootPaths(root, violations);
    CheckProtocol(root, violations);
    return violations;
}

std::string Describe(const FloorViolation &violation) {
    return violation.file + ":" + std::to_string(violation.line) + ": #include \"" + violation.include + "\": " +
           violation.reason;
}

}  // namespace nox_test
