#pragma once
#include <string>
#include <utility>
#include <vector>

namespace GenICam {

// A text of the GenApi layer: node, device, port and file names. A plain
// value; built from a C string, a null pointer gives the empty text.
class gcstring : public std::string {
public:
    using std::string::string;
    gcstring() = default;
    gcstring(const char *text) : std::string(text ? text : "") {}
    gcstring(const std::string &text) : std::string(text) {}
    gcstring(std::string &&text) : std::string(std::move(text)) {}
};

using gcstring_vector = std::vector<gcstring>;

}  // namespace GenICam
