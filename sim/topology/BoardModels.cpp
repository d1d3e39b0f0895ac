#include "topology/BoardModels.h"

#include <array>
#include <utility>

namespace vexo::sim {
namespace {

// The simulator builds boards of every link technology and boards without
// one; a row added to the table before its model exists is listed, not served.
constexpr bool Simulated(Technology technology) {
    return technology == Technology::kCoaXPress || technology == Technology::kCameraLink ||
           technology == Technology::kCameraLinkHs ||
           technology == Technology::kNone;
}

template <size_t... Row>
constexpr std::array<BoardModel, sizeof...(Row)> ModelsOf(std::index_sequence<Row...>) {
    return {{BoardModel{protocol::kBoardTypes[Row], Simulated(protocol::kBoardTypes[Row].technology)}...}};
}

constexpr auto kModels = ModelsOf(std::make_index_sequence<protocol::kBoardTypes.size()>());

}  // namespace

std::span<const BoardModel> BoardModels() { return kModels; }

const BoardModel *FindBoardModel(std::string_view name) {
    for (const BoardModel &model : kModels)
        if (name == model.modelName) return &model;
    return nullptr;
}

std::string_view TechnologyName(Technology technology) {
    switch (technology) {
        case Technology::kCoaXPress: return "CoaXPress";
        case Technology::kCameraLinkHs: return "Camera Link HS";
        case Technology::kCameraLink: return "Camera Link";
        case Technology::kNone: break;
    }
    return "none";
}

char FamilyLetter(BoardFamily family) {
    switch (family) {
        case BoardFamily::kA: return 'A';
        case BoardFamily::kB: return 'B';
        case BoardFamily::kC: return 'C';
        case BoardFamily::kNone: break;
    }
    return '-';
}

uint32_t TransceiverInterfaceType(const BoardModel &model, bool rxStatus) {
    if (model.technology != Technology::kCoaXPress) return 0;
    switch (model.family) {
        case BoardFamily::kA: return 1;
        case BoardFamily::kB: return model.portCount == 4 ? 2 : (rxStatus ? 6 : 3);
        case BoardFamily::kC: return 10;
        case BoardFamily::kNone: break;
    }
    return 0;
}

}  // namespace vexo::sim
