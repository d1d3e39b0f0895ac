#include "simulator/BoardFactory.h"

#include "board/CxpBoard.h"
#include "description/DescriptionImage.h"

namespace vexo::sim {
namespace {

// Keeps the URL text well inside the camera's URL area.
constexpr size_t kMaxDescriptionNameLength = 200;

std::variant<std::unique_ptr<Board>, std::string> BuildCxpBoard(const BoardConfig &config, uint32_t index,
                                                               const std::filesystem::path &baseFolder) {
    std::vector<std::unique_ptr<CxpCamera>> cameras;
    for (const CameraConfig &camera : config.cameras) {
        auto description = LoadDescription(camera.description, baseFolder);
        if (auto *error = std::get_if<std::string>(&description)) return std::move(*error);
        DescriptionHandle image = std::get<DescriptionHandle>(std::move(description));
        if (image->fileName.size() > kMaxDescriptionNameLength)
            return "description file name \"" + image->fileName + "\" is too long";
        cameras.push_back(std::make_unique<CxpCamera>(camera, std::move(image)));
    }
    return std::make_unique<CxpBoard>(config, index, std::move(cameras));
}

}  // namespace

std::variant<BoardList, std::string> BuildBoards(const Topology &topology, const std::filesystem::path &baseFolder) {
    BoardList boards;
    for (uint32_t index = 0; index < topology.boards.size(); ++index) {
        const BoardConfig &config = topology.boards[index];
        if (config.model->technology != Technology::kCoaXPress) {
            boards.push_back(std::make_unique<PlainBoard>(config, index));
            continue;
        }
        auto board = BuildCxpBoard(config, index, baseFolder);
        if (auto *error = std::get_if<std::string>(&board)) return "boards[" + std::to_string(index) + "]: " + *error;
        boards.push_back(std::get<std::unique_ptr<Board>>(std::move(board)));
    }
    return boards;
}

}  // namespace vexo::sim
