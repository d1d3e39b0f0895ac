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

bool IsClhs(const BoardConfig &config) { return config.model->technology == Technology::kCameraLinkHs; }
bool IsCameraLink(const BoardConfig &config) { return config.model->technology == Technology::kCameraLink; }
bool IsCoaXPress(const BoardConfig &config) { return config.model->technology == Technology::kCoaXPress; }

// GenCP cameras (Camera Link and Camera Link HS) serve the built-in description with their GenCP addresses.
DescriptionFlavour FlavourOf(Technology technology) {
    return technology == Technology::kCoaXPress ? DescriptionFlavour::CoaXPress : DescriptionFlavour::GenCp;
}

std::variant<std::vector<DescriptionHandle>, std::string> LoadCameraDescriptions(
    const std::vector<CameraConfig> &cameras, Technology technology, const std::filesystem::path &baseFolder) {
    std::vector<DescriptionHandle> images;
    for (const CameraConfig &camera : cameras) {
        auto description = LoadDescription(camera.description, baseFolder, FlavourOf(technology));
        if (auto *error = std::get_if<std::string>(&description)) return std::move(*error);
        DescriptionHandle image = std::get<DescriptionHandle>(std::move(description));
        if (image->fileName.size() > kMaxDescriptionNameLength)
            return "description file name \"" + image->fileName + "\" is too long";
        images.push_back(std::move(image));
    }
    return images;
}

// The cameras whose descriptions list `list` of TopologyDescriptions holds.
const std::vector<CameraConfig> &CamerasOfList(const Topology &topology, size_t list) {
    return list < topology.boards.size() ? topology.boards[list].cameras : topology.clhsCameras;
}

// Every Camera Link HS camera, with the state it keeps in the slot of its
// master link's board, the board of each of its links and where its
// description is: (list, index) of TopologyDescriptions.
template <class Visit>
void ForEachClhsCamera(const Topology &topology, SegmentLayout &layout, const Visit &visit) {
    std::vector<uint32_t> statesUsed(topology.boards.size(), 0);
    const auto stateOn = [&](uint32_t master) -> ClhsCameraState & {
        return layout.boards[master].clhs.cameras[statesUsed[master]++];
    };
    for (uint32_t index = 0; index < topology.boards.size(); ++index) {
        if (!IsClhs(topology.boards[index])) continue;
        const std::vector<CameraConfig> &cameras = topology.boards[index].cameras;
        for (size_t camera = 0; camera < cameras.size(); ++camera)
            visit(cameras[camera], stateOn(index), [index](uint32_t) { return index; }, index, camera);
    }
    const size_t list = topology.boards.size();
    for (size_t camera = 0; camera < topology.clhsCameras.size(); ++camera) {
        const CameraConfig &config = topology.clhsCameras[camera];
        visit(config, stateOn(config.linkBoards[0]), [&config](uint32_t link) { return config.linkBoards[link]; }, list,
              camera);
    }
}

// Views of every Camera Link HS camera, each seen from the ports of its links.
std::vector<ClhsPortCameras> ClhsCameraViews(const Topology &topology, SegmentLayout &layout, uint8_t *segment) {
    std::vector<ClhsPortCameras> ports(topology.boards.size());
    ForEachClhsCamera(topology, layout, [&](const CameraConfig &config, ClhsCameraState &state, const auto &boardOfLink,
                                            size_t, size_t) {
        auto camera = std::make_shared<ClhsCamera>(config, state, segment);
        for (uint32_t link = 0; link < config.links.size(); ++link) ports[boardOfLink(link)][config.links[link]] = {camera, link};
    });
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
    for (uint32_t index = 0; index <= topology.boards.size(); ++index) {
        const bool board = index < topology.boards.size();
        const Technology technology = board ? topology.boards[index].model->technology : Technology::kCameraLinkHs;
        auto images = LoadCameraDescriptions(CamerasOfList(topology, index), technology, baseFolder);
        if (auto *error = std::get_if<std::string>(&images))
            return (board ? "boards[" + std::to_string(index) + "]: " : std::string("clhs_cameras: ")) + *error;
        descriptions.push_back(std::get<std::vector<DescriptionHandle>>(std::move(images)));
    }
    return descriptions;
}

uint64_t CameraAreaBytes(const Topology &topology, const TopologyDescriptions &descriptions) {
    uint64_t bytes = 0;
    for (size_t board = 0; board < descriptions.size(); ++board)
        for (size_t camera = 0; camera < descriptions[board].size(); ++camera) {
            const uint64_t area = CxpCamera::AreaBytes(CamerasOfList(topology, board)[camera], *descriptions[board][camera]);
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
        const bool cameraLink = IsCameraLink(config);
        if (!cameraLink && !IsCoaXPress(config)) continue;
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
    ForEachClhsCamera(topology, layout, [&](const CameraConfig &config, ClhsCameraState &state, const auto &, size_t list,
                                            size_t camera) {
        const DescriptionImage &image = *descriptions[list][camera];
        state.gencp.description = TakeArea(cursor, (image.bytes.size() + 3) & ~size_t(3));
        ClhsCamera::Install(config, image, state, segment);
    });
    const std::vector<ClhsPortCameras> clhsCameras = ClhsCameraViews(topology, layout, segment);
    for (uint32_t index = 0; index < topology.boards.size(); ++index)
        if (IsClhs(topology.boards[index]))
            ClhsBoard(topology.boards[index], index, layout.boards[index].clhs, clhsCameras[index]).PowerOnState();
}

BoardList MakeBoardViews(const Topology &topology, SegmentLayout &layout, uint8_t *segment) {
    BoardList boards;
    const std::vector<ClhsPortCameras> clhsCameras = ClhsCameraViews(topology, layout, segment);
    for (uint32_t index = 0; index < topology.boards.size(); ++index) {
        const BoardConfig &config = topology.boards[index];
        if (IsClhs(config))
            boards.push_back(std::make_unique<ClhsBoard>(config, index, layout.boards[index].clhs, clhsCameras[index]));
        else if (IsCameraLink(config))
            boards.push_back(std::make_unique<ClBoard>(config, index, layout.boards[index].cl, segment));
        else if (IsCoaXPress(config))
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
