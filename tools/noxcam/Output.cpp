#include "Output.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <sstream>

namespace noxcam {

void PrintTable(std::ostream &out, const Table &table) {
    std::vector<size_t> widths(table.header.size(), 0);
    auto measure = [&](const std::vector<std::string> &row) {
        for (size_t i = 0; i < row.size() && i < widths.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
    };
    measure(table.header);
    for (const auto &row : table.rows) measure(row);
    auto print = [&](const std::vector<std::string> &row) {
        std::string line;
        for (size_t i = 0; i < row.size() && i < widths.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) line += std::string(widths[i] - row[i].size() + 2, ' ');
        }
        line.erase(line.find_last_not_of(' ') + 1);
        out << line << '\n';
    };
    print(table.header);
    for (const auto &row : table.rows) print(row);
}

void Emit(bool json, const nlohmann::ordered_json &data, const std::string &text) {
    if (json)
        std::cout << data.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
    else
        std::cout << text;
    std::cout.flush();
}

void Emit(bool json, const nlohmann::ordered_json &data, const Table &table) {
    std::ostringstream text;
    if (!json) PrintTable(text, table);
    Emit(json, data, text.str());
}

void Warn(bool json, const std::string &text) {
    std::cout.flush();
    if (json)
        std::cerr << nlohmann::ordered_json{{"warning", text}}.dump(-1, ' ', false,
                                                                    nlohmann::ordered_json::error_handler_t::replace)
                  << std::endl;
    else
        std::cerr << "noxcam: warning: " << text << std::endl;
}

std::string Hex32(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%08llx", static_cast<unsigned long long>(value));
    return text;
}

}  // namespace noxcam
