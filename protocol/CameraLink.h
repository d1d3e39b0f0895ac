#pragma once
// Camera Link: how a board's applet tells its camera-port configuration (boards
// of the first group through one register, those of the second through which
// of the mode registers the applet has), and the serial port's line rates.
#include <array>
#include <cstdint>

namespace vexo::protocol::cl {

// First group: the register and its values.
inline constexpr const char *kPortConfigRegister = "AACamPortConfig";
enum class PortConfig : uint32_t { kBase = 0, kMedium = 1, kFull = 2 };

// Second group: the applet has at most one of these.
inline constexpr const char *kBaseModeRegister = "Device1\\Process0\\Camera\\BaseMode";
inline constexpr const char *kMediumModeRegister = "Device1\\Process0\\Camera\\MediumMode";
inline constexpr const char *kFullModeRegister = "Device1\\Process0\\Camera\\FullMode";
// Older applets spell the full mode this way.
inline constexpr const char *kOlderFullModeRegister = "Device1\\Process0\\Cam\\FullMode";

// The eight line rates of the Camera Link serial port; bit i of a baud mask is kBaudRates[i].
inline constexpr std::array<uint32_t, 8> kBaudRates{9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};

// The bit of a baud mask for a line rate; 0 for a rate the serial port lacks.
constexpr uint32_t BaudMaskBit(uint32_t baud) {
    for (uint32_t bit = 0; bit < kBaudRates.size(); ++bit)
        if (kBaudRates[bit] == baud) return 1u << bit;
    return 0;
}

// Statuses of the hardware library's serial port calls beside 0 and -1.
inline constexpr int32_t kSerialPortInvalid = -61;
inline constexpr int32_t kSerialPortInUse = -28;

// A character on the serial line: start bit, 8 data bits, stop bit.
inline constexpr uint32_t kBitsPerCharacter = 10;

}  // namespace vexo::protocol::cl
