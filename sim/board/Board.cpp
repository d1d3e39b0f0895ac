#include "board/Board.h"

namespace vexo::sim {

int64_t Board::QueryInfo(std::string_view key) const {
    if (key == "board/type") return config_.model->code;
    if (key == "board/serial") return config_.serial;
    if (key == "firmware/major") return config_.firmwareMajor;
    if (key == "firmware/minor") return config_.firmwareMinor;
    return -1;
}

int32_t Board::InjectNamedFault(uint32_t port, std::string_view kind, uint32_t count) {
    const std::optional<CameraFault> fault = ParseCameraFault(kind, count);
    return fault ? InjectFault(port, *fault) : kFailed;
}

void Board::Describe(std::ostream &out) {
    out << "board " << index_ << ": " << config_.model->modelName << ", serial " << config_.serial << ", firmware "
        << config_.firmwareMajor << "." << config_.firmwareMinor << "\n";
}

}  // namespace vexo::sim
