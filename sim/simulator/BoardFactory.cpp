#include "simulator/BoardFactory.h"

#include <memory>
#include <numeric>

#include "board/ClBoard.h"
#include "board/ClhsBoard.h"
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

bool IsClhs(const BoardConfig &config) { return config.model->technology == Technology::kCameraLinkHs; }

// Views of every Camera Link HS camera, each seen from the ports of its links.
// A camera's state lives in the slot of the board of its master link.
std::vector<ClhsPortCameras> ClhsCameraViews(const Topology &topology, SegmentLayout &layout) {
    std::vector<ClhsPortCameras> ports(topology.boards.size());
    std::vector<uint32_t> statesUsed(topology.boards.size(), 0);
    const auto attach = [&](const CameraConfig &config, const auto &boardOfLink) {
        const uint32_t master = boardOfLink(0);
        auto camera = std::make_shared<ClhsCamera>(config, layout.boards[master].clhs.cameras[statesUsed[master]++]);
        for (uint32_t link = 0; link < config.links.size(); ++link) ports[boardOfLink(link)][config.links[link]] = {camera, link};
    };
    for (uint32_t index = 0; index < topology.boards.size(); ++index)
        if (IsClhs(topology.boards[index]))
            for (const CameraConfig &camera : topology.boards[index].cameras) attach(camera, [index](uint32_t) { return index; });
    for (const CameraConfig &camera : topology.clhsCameras)
        attach(camera, [&camera](uint32_t link) { return camera.linkBoards[link]; });
    return ports;
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
        std::construct_at(&slot.clhs);
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
    const std::vector<ClhsPortCameras> clhsCameras = ClhsCameraViews(topology, layout);
    for (uint32_t index = 0; index < topology.boards.size(); ++index)
        if (IsClhs(topology.boards[index]))
            ClhsBoard(topology.boards[index], index, layout.boards[index].clhs, clhsCameras[index]).PowerOnState();
}

BoardList MakeBoardViews(const Topology &topology, SegmentLayout &layout, uint8_t *segment) {
    BoardList boards;
    const std::vector<ClhsPortCameras> clhsCameras = ClhsCameraViews(topology, layout);
    for (uint32_t index = 0; index < topology.boards.size(); ++index) {
        const BoardConfig &config = topology.boards[index];
        if (IsClhs(config))
            boards.push_back(std::make_unique<ClhsBoard>(config, index, layout.boards[index].clhs, clhsCameras[index]));
        else if (config.model->technology == Technology::kCameraLink)
            boards.push_back(std::make_unique<ClBoard>(config, index, layout.boards[index].cl, segment));
        else if (Simulated(config))
            boards.push_back(std::make_unique<CxpBoard>(config, index, layout.boards[index].cxp, segment));
        else
            boards.push_back(std::make_unique<PlainBoard>(config, index));
    }
    return boards;
}

std::vector<std::vector<uint32_t>> BoardLockGroups(const Topology &topology) {
    std::vector<uint32_t> group(topology.boards.size());
    std::iota(group.begin(), group.end(), 0);
    const auto root = [&group](uint32_t board) {
        while (group[board] != board) board = group[board];
        return board;
    };
    for (const CameraConfig &camera : topology.clhsCameras)
        for (uint32_t board : camera.linkBoards) group[root(board)] = root(camera.linkBoards[0]);
    std::vector<std::vector<uint32_t>> groups(topology.boards.size());
    for (uint32_t board = 0; board < topology.boards.size(); ++board)
        for (uint32_t other = 0; other < topology.boards.size(); ++other)
            if (root(other) == root(board)) groups[board].push_back(other);
    return groups;
}

}  // namespace vexo::sim
