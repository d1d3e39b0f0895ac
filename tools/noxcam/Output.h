#pragma once
// What a subcommand prints: a table or lines for people, the same data as JSON with --json.
#include <nlohmann/json.hpp>

#include <iosfwd>
#include <string>
#include <vector>

namespace noxcam {

struct Table {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
};

// Columns padded to their widest cell, two spaces apart; no trailing blanks.
void PrintTable(std::ostream &out, const Table &table);

// Prints the JSON document (one line) or the text to stdout.
void Emit(bool json, const nlohmann::ordered_json &data, const std::string &text);
void Emit(bool json, const nlohmann::ordered_json &data, const Table &table);

// "noxcam: warning: <text>" on stderr, or {"warning": "<text>"} with --json.
void Warn(bool json, const std::string &text);

// "0x0000002a"
std::string Hex32(uint64_t value);

}  // namespace noxcam
