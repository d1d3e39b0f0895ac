#include "simulator/TopologySource.h"

#include <cstdlib>
#include <fstream>

#include "topology/TopologyParser.h"

namespace vexo::sim {
namespace {

constexpr size_t kMaxTopologyBytes = 1u << 20;

TopologyLoad FromParse(std::string text, std::filesystem::path baseFolder, std::string origin) {
    TopologyResult result = ParseTopology(text);
    if (auto *error = std::get_if<TopologyError>(&result)) return origin + ": " + error->message;
    return LoadedTopology{std::get<Topology>(std::move(result)), std::move(baseFolder), std::move(origin), std::move(text)};
}

std::variant<std::string, TopologyError> ReadSmallFile(const std::filesystem::path &path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return TopologyError{"cannot open " + path.string()};
    std::string text(kMaxTopologyBytes + 1, '\0');
    file.read(text.data(), std::streamsize(text.size()));
    text.resize(size_t(file.gcount()));
    if (text.size() > kMaxTopologyBytes) return TopologyError{path.string() + " is larger than 1 MiB"};
    return text;
}

std::filesystem::path CurrentFolder() {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::current_path(error);
    return error ? std::filesystem::path(".") : folder;
}

}  // namespace

TopologyLoad LoadTopologyInForce() {
    const char *file = std::getenv(kConfigVariable);
    if (!file || !*file) return LoadTopologyText(nullptr);
    const std::filesystem::path path(file);
    auto text = ReadSmallFile(path);
    if (auto *error = std::get_if<TopologyError>(&text)) return std::move(error->message);
    return FromParse(std::get<std::string>(std::move(text)), std::filesystem::absolute(path).parent_path(), path.string());
}

TopologyLoad LoadTopologyText(const char *jsonText) {
    if (!jsonText) return LoadedTopology{DefaultTopology(), CurrentFolder(), kBuiltInOrigin, ""};
    return FromParse(jsonText, CurrentFolder(), "topology");
}

TopologyLoad LoadStoredTopology(const std::string &text, const std::string &identity, const std::string &origin) {
    if (text.empty()) return LoadTopologyText(nullptr);
    const size_t folderEnd = identity.size() >= text.size() + 1 ? identity.size() - text.size() - 1 : 0;
    return FromParse(text, identity.substr(0, folderEnd), origin);
}

}  // namespace vexo::sim
