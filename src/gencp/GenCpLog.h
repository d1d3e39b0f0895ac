#pragma once
#include <cstdint>
#include <string>

#include "logging/Logger.h"
#include "logging/Record.h"

namespace vexo::genicam {

// "0x" and lower-case hexadecimal digits.
inline std::string HexText(uint64_t value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string digits;
    do {
        digits.insert(digits.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return "0x" + digits;
}

// Writes a record of the GenCP stack; the text is built only when the level passes.
template <class MakeText>
void GenCpLog(tools::logging::Logger *logger, uint32_t level, MakeText &&makeText) {
    if (logger->IsEnabled(level)) tools::logging::WriteRecord(logger, level, {}, makeText());
}

}  // namespace vexo::genicam
