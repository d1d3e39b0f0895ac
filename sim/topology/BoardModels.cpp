#include "topology/BoardModels.h"

#include <array>

namespace vexo::sim {
namespace {

constexpr std::array<BoardModel, 9> kModels{{
    {"cxp4-a", 0x0A41, Technology::CoaXPress, 4, BoardFamily::A, true},
    {"cxp4-b", 0x0B41, Technology::CoaXPress, 4, BoardFamily::B, true},
    {"cxp2-b", 0x0B21, Technology::CoaXPress, 2, BoardFamily::B, true},
    {"cxp4-c", 0x0C41, Technology::CoaXPress, 4, BoardFamily::C, true},
    {"cxp2-c", 0x0C21, Technology::CoaXPress, 2, BoardFamily::C, true},
    {"clhs2-c", 0x0C22, Technology::CameraLinkHs, 2, BoardFamily::C, false},
    {"cl2-g1", 0x0D21, Technology::CameraLink, 2, BoardFamily::None, false},
    {"cl2-g2", 0x0D22, Technology::CameraLink, 2, BoardFamily::None, false},
    {"gige4", 0x0E41, Technology::None, 4, BoardFamily::None, true},
}};

}  // namespace

std::span<const BoardModel> BoardModels() { return kModels; }

const BoardModel *FindBoardModel(std::string_view name) {
    for (const BoardModel &model : kModels)
        if (model.name == name) return &model;
    return nullptr;
}

std::string_view TechnologyName(Technology technology) {
    switch (technology) {
        case Technology::CoaXPress: return "CoaXPress";
        case Technology::CameraLinkHs: return "Camera Link HS";
        case Technology::CameraLink: return "Camera Link";
        case Technology::None: break;
    }
    return "none";
}

char FamilyLetter(BoardFamily family) {
    switch (family) {
        case BoardFamily::A: return 'A';
        case BoardFamily::B: return 'B';
        case BoardFamily::C: return 'C';
        case BoardFamily::None: break;
    }
    return '-';
}

uint32_t TransceiverInterfaceType(const BoardModel &model, bool rxStatus) {
    if (model.technology != Technology::CoaXPress) return 0;
    switch (model.family) {
        case BoardFamily::A: return 1;
        case BoardFamily::B: return model.portCount == 4 ? 2 : (rxStatus ? 6 : 3);
        case BoardFamily::C: return 10;
        case BoardFamily::None: break;
    }
    return 0;
}

}  // namespace vexo::sim
