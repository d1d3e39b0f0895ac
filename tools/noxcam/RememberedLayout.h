#pragma once
// The camera layout of a board's last scan, kept between runs of noxcam, so that every command but
// `scan` attaches to the links as they are instead of scanning (and resetting) them again.
#include <cstdint>
#include <filesystem>

namespace noxcam {

// The link configuration file of the board: "board<index>-<instance>.xml" in "noxcam" under
// $XDG_RUNTIME_DIR, or under the system's temporary folder in "noxcam-<uid>" when that is unset.
// The instance is $VEXO_SIM_INSTANCE ("default" when unset): boards of different virtual frame
// grabbers share indices.
std::filesystem::path RememberedLayoutFile(uint32_t boardIndex);

// The folder of the file, made when missing and private to the user; false when it cannot be made.
bool PrepareLayoutFolder(const std::filesystem::path &file);

}  // namespace noxcam
