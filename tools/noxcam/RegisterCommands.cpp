// reg read, reg write: camera registers below the features.
#include <cctype>
#include <cstdio>
#include <memory>
#include <vector>

#include "CommandLine.h"
#include "Output.h"
#include "Session.h"
#include "ToolError.h"
#include "ValueText.h"

namespace noxcam {

namespace {

// Longer reads are refused rather than allocated.
constexpr uint32_t kMaxReadLength = 1u << 20;
constexpr size_t kBytesPerDumpLine = 16;

uint32_t ParseWord(const std::string &text, const std::string &what) {
    const auto value = ParseUnsigned(text);
    if (!value || *value > 0xFFFFFFFFu) throw UsageError(what + ": '" + text + "' is not a 32-bit number");
    return static_cast<uint32_t>(*value);
}

// "0x00002000  56 65 78 6f ...  |Vexo...|", 16 bytes a line.
std::string HexDump(uint32_t address, const std::vector<unsigned char> &bytes) {
    std::string text;
    for (size_t offset = 0; offset < bytes.size(); offset += kBytesPerDumpLine) {
        text += Hex32(address + offset) + " ";
        std::string printable;
        for (size_t i = offset; i < offset + kBytesPerDumpLine; ++i) {
            char cell[4] = "   ";
            if (i < bytes.size()) {
                std::snprintf(cell, sizeof cell, " %02x", bytes[i]);
                printable += std::isprint(bytes[i]) ? static_cast<char>(bytes[i]) : '.';
            }
            text += cell;
        }
        text += "  |" + printable + "|\n";
    }
    return text;
}

std::string HexString(const std::vector<unsigned char> &bytes) {
    std::string text;
    char cell[3];
    for (unsigned char byte : bytes) {
        std::snprintf(cell, sizeof cell, "%02x", byte);
        text += cell;
    }
    return text;
}

void ReadRegisters(const CommonOptions &options, const std::string &addressText, const std::string &lengthText) {
    const uint32_t address = ParseWord(addressText, "reg read");
    const uint32_t length = lengthText.empty() ? 4 : ParseWord(lengthText, "reg read");
    if (length > kMaxReadLength)
        throw ToolError("reg read: at most " + std::to_string(kMaxReadLength) + " bytes at once", ERR_VALUE_OUT_OF_RANGE,
                        {}, kExitUsage);
    Session session(options);
    NoxCameraHandle *camera = session.LinkedCamera();
    const std::string what = "reg read " + Hex32(address);
    if (length == 4) {
        uint32_t value = 0;
        Check(Nox_registerReadFromCamera(camera, &value, address), what);
        Emit(options.json, {{"address", address}, {"value", value}}, Hex32(value) + "\n");
        return;
    }
    std::vector<unsigned char> bytes(length);
    Check(Nox_memoryReadFromCamera(camera, bytes.data(), address, length), what);
    Emit(options.json, {{"address", address}, {"length", length}, {"bytes", HexString(bytes)}}, HexDump(address, bytes));
}

void WriteRegister(const CommonOptions &options, const std::string &addressText, const std::string &valueText) {
    const uint32_t address = ParseWord(addressText, "reg write");
    const uint32_t value = ParseWord(valueText, "reg write");
    Session session(options);
    Check(Nox_registerWriteToCamera(session.LinkedCamera(), value, address), "reg write " + Hex32(address));
    Emit(options.json, {{"address", address}, {"value", value}, {"camera", session.Slot()}},
         "wrote " + Hex32(value) + " to " + Hex32(address) + " on camera " + std::to_string(session.Slot()) + "\n");
}

}  // namespace

void AddRegisterCommands(CommandTable &table, CLI::App &app, const CommonOptions &options) {
    struct Arguments {
        std::string address, second;
    };
    auto args = std::make_shared<Arguments>();
    CLI::App *reg = CommandTable::AddGroup(app, "reg", "Camera registers (big-endian 32-bit words)");
    CLI::App *read = table.Add(*reg, "read", "Read a register, or LENGTH bytes as a hex dump",
                               [&options, args] { ReadRegisters(options, args->address, args->second); });
    read->add_option("ADDRESS", args->address, "Register address (decimal or 0x hex)")->required();
    read->add_option("LENGTH", args->second, "Bytes to read (default 4)");
    CLI::App *write = table.Add(*reg, "write", "Write a 32-bit value to a register",
                                [&options, args] { WriteRegister(options, args->address, args->second); });
    write->add_option("ADDRESS", args->address, "Register address (decimal or 0x hex)")->required();
    write->add_option("VALUE", args->second, "Value (decimal or 0x hex)")->required();
}

}  // namespace noxcam
