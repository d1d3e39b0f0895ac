#include "board/Board.h"

namespace vexo::sim {

int64_t Board::QueryInfo(std::string_view key) const {
    if (key == "board/type") return config_.model->code;
    if (key == "board/serial") return config_.serial;
    if (key == "firmware/major") return config_.firmwareMajor;
    if (key == "firmware/minor") return config_.firmwareMinor;
    return -1;
}

void Board::Describe(std::ostream &out) {
    out << "board " << index_ << ": " << config_.model->modelName << ", serial " << config_.serial << ", firmware "
        << config_.firmwareMajor << "." << config_.firmwareMinor << "\n";
}

}  // namespace vexo::sim
