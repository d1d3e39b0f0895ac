#include "simulator/BoardFactory.h"

#include <memory>

#include "board/ClBoard.h"
#include "board/CxpBoard.h"

namespace vexo::sim {
namespace {

// Keeps the URL text well inside the camera's URL area.
constexpr size_t kMaxDescriptionNameLength = 200;

bool Simulated(const BoardConfig &config) {
    return config.model->technology == Technology::kCoaXPress || config.model->technology == Technology::kCameraLink;
}

// Camera Link cameras serve the built-in description with their GenCP addresses.
DescriptionFlavour FlavourOf(const BoardConfig &config) {
    return config.model->technology == Technology::kCameraLink ? DescriptionFlavour::GenCp : DescriptionFlavour::CoaXPress;
}

std::variant<std::vector<DescriptionHandle>, std::string> LoadBoardDescriptions(const BoardConfig &config,
                                                                                const std::filesystem::path &baseFolder) {
    std::vector<DescriptionHandle> images;
    if (!Simulated(config)) return images;
    for (const CameraConfig &camera : config.cameras) {
        auto description = LoadDescription(camera.description, baseFolder, FlavourOf(config));
        if (auto *error = std::get_if<std::string>(&description)) return std::move(*error);
        DescriptionHandle image = std::get<DescriptionHandle>(std::move(description));
        if (image->fileName.size() > kMaxDescriptionNameLength)
            return "description file name \"" + image->fileName + "\" is too long";
        images.push_back(std::move(image));
    }
    return images;
}

ByteArea TakeArea(uint64_t &cursor, uint64_t bytes) {
    const ByteArea area{cursor, uint32_t(bytes)};
    cursor += (bytes + 7) & ~uint64_t(7);
    return area;
}

}  // namespace

std::variant<TopologyDescriptions, std::string> LoadDescriptions(const Topology &topology,
                                                                 const std::filesystem::path &baseFolder) {
    TopologyDescriptions descriptions;
    for (uint32_t index = 0; index < topology.boards.size(); ++index) {
        auto images = LoadBoardDescriptions(topology.boards[index], baseFolder);
        if (auto *error = std::get_if<std::string>(&images)) return "boards[" + std::to_string(index) + "]: " + *error;
        descriptions.push_back(std::get<std::vector<DescriptionHandle>>(std::move(images)));
    }
    return descriptions;
}

uint64_t CameraAreaBytes(const Topology &topology, const TopologyDescriptions &descriptions) {
    uint64_t bytes = 0;
    for (size_t board = 0; board < descriptions.size(); ++board)
        for (size_t camera = 0; camera < descriptions[board].size(); ++camera) {
            const uint64_t area = CxpCamera::AreaBytes(topology.boards[board].cameras[camera], *descriptions[board][camera]);
            bytes += (area + 15) & ~uint64_t(7);  // each of its two areas rounded up
        }
    return bytes;
}

void InstallBoards(const Topology &topology, const TopologyDescriptions &descriptions, SegmentLayout &layout,
                   uint8_t *segment, uint64_t &cursor) {
    for (uint32_t index = 0; index < kMaxBoards; ++index) {
        BoardSlot &slot = layout.boards[index];
        slot.present = index < topology.boards.size();
        if (!slot.present) continue;
        std::construct_at(&slot.cxp);
        std::construct_at(&slot.cl);
        const BoardConfig &config = topology.boards[index];
        if (!Simulated(config)) continue;
        const bool cameraLink = config.model->technology == Technology::kCameraLink;
        std::vector<const DescriptionImage *> images;
        for (size_t camera = 0; camera < config.cameras.size(); ++camera) {
            const DescriptionImage &image = *descriptions[index][camera];
            const ByteArea description = TakeArea(cursor, (image.bytes.size() + 3) & ~size_t(3));
            if (cameraLink) {
                slot.cl.cameras[camera].description = description;
            } else {
                slot.cxp.cameras[camera].description = description;
                slot.cxp.cameras[camera].scratch = TakeArea(cursor, config.cameras[camera].scratchBytes);
            }
            images.push_back(&image);
        }
        if (cameraLink)
            ClBoard::Install(config, images, slot.cl, segment);
        else
            CxpBoard::Install(config, images, slot.cxp, segment);
    }
}

BoardList MakeBoardViews(const Topology &topology, SegmentLayout &layout, uint8_t *segment) {
    BoardList boards;
    for (uint32_t index = 0; index < topology.boards.size(); ++index) {
        const BoardConfig &config = topology.boards[index];
        if (config.model->technology == Technology::kCameraLink)
            boards.push_back(std::make_unique<ClBoard>(config, index, layout.boards[index].cl, segment));
        else if (Simulated(config))
            boards.push_back(std::make_unique<CxpBoard>(config, index, layout.boards[index].cxp, segment));
        else
            boards.push_back(std::make_unique<PlainBoard>(config, index));
    }
    return boards;
}

}  // namespace vexo::sim
