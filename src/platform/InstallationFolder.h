#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vexo::templates::platform {

using EnvironmentReader = std::function<std::optional<std::string>(const char *name)>;

// Works out the installation folder from a module path: the parent of the
// nearest enclosing folder named bin, dll, Hardware Applets, lib or lib64
// (ignoring case); failing that VEXODIR5_64, then VEXODIR5. Trailing slashes
// are cut. No result means there is no installation folder.
std::optional<std::string> FindInstallationFolder(std::string_view modulePath,
                                                  const EnvironmentReader &readEnvironment);

// The file this library's code was loaded from.
std::string OwnModulePath();

// The installation folder of this process, worked out once and cached.
const std::optional<std::string> &InstallationFolder();

}  // namespace vexo::templates::platform
