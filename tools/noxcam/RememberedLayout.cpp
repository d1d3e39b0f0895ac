#include "RememberedLayout.h"

#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <string>
#include <system_error>

namespace noxcam {

namespace {

std::filesystem::path LayoutFolder() {
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime == '/') return std::filesystem::path(runtime) / "noxcam";
    std::error_code error;
    std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    if (error) temporary = "/tmp";
    return temporary / ("noxcam-" + std::to_string(::getuid()));
}

// Only names that stay one file name: anything else would reach outside the folder.
std::string InstanceName() {
    const char *instance = std::getenv("VEXO_SIM_INSTANCE");
    std::string name = instance != nullptr && *instance != '\0' ? instance : "default";
    for (char &c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.')) c = '_';
    return name;
}

}  // namespace

std::filesystem::path RememberedLayoutFile(uint32_t boardIndex) {
    return LayoutFolder() / ("board" + std::to_string(boardIndex) + "-" + InstanceName() + ".xml");
}

bool PrepareLayoutFolder(const std::filesystem::path &file) {
    std::error_code error;
    const std::filesystem::path folder = file.parent_path();
    if (std::filesystem::create_directories(folder, error))
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all, error);
    return std::filesystem::is_directory(folder, error) && ::access(folder.c_str(), W_OK) == 0;
}

}  // namespace noxcam
