#include "platform/InstallationFolder.h"

#include <dlfcn.h>
#include <errno.h>
#include <limits.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <mutex>

#include "platform/Environment.h"

namespace vexo::templates::platform {

namespace {

constexpr size_t kMaxModulePath = 1023;
constexpr size_t kMaxFolderText = 1024;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool IsMarkerFolder(std::string_view name) {
    static constexpr std::array<std::string_view, 5> kMarkers = {"bin", "dll", "Hardware Applets", "lib", "lib64"};
    return std::any_of(kMarkers.begin(), kMarkers.end(),
                       [name](std::string_view marker) { return EqualsIgnoringCase(name, marker); });
}

std::string CutTrailingSlashes(std::string text) {
    while (!text.empty() && text.back() == '/') text.pop_back();
    return text;
}

std::optional<std::string> FolderFromModulePath(std::string_view modulePath) {
    if (modulePath.empty() || modulePath.size() > kMaxModulePath) return std::nullopt;
    // end marks the end of the folder holding the current name.
    size_t end = modulePath.rfind('/');
    while (end != std::string_view::npos && end > 0) {
        const size_t start = modulePath.rfind('/', end - 1);
        const size_t nameBegin = start == std::string_view::npos ? 0 : start + 1;
        if (IsMarkerFolder(modulePath.substr(nameBegin, end - nameBegin))) {
            if (start == std::string_view::npos) return std::nullopt;  // a relative path with nothing above
            return CutTrailingSlashes(std::string(modulePath.substr(0, start + 1)));
        }
        end = start;
    }
    return std::nullopt;
}

std::optional<std::string> FolderFromEnvironment(const EnvironmentReader &readEnvironment) {
    for (const char *name : {"VEXODIR5_64", "VEXODIR5"}) {
        std::optional<std::string> value = readEnvironment(name);
        // An empty variable names no folder (it would otherwise mean the root).
        if (!value || value->empty()) continue;
        if (value->size() > kMaxFolderText) value->resize(kMaxFolderText);
        return CutTrailingSlashes(*value);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> FindInstallationFolder(std::string_view modulePath,
                                                  const EnvironmentReader &readEnvironment) {
    if (std::optional<std::string> folder = FolderFromModulePath(modulePath)) return folder;
    return FolderFromEnvironment(readEnvironment);
}

std::string OwnModulePath() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void *>(&OwnModulePath), &info) == 0 || info.dli_fname == nullptr) return {};
    std::string path = info.dli_fname;
    if (!path.empty() && path.front() == '/') return path;
    // Code linked into the program itself is reported under argv[0], which
    // may be relative to a working folder that has changed since.
    if (path == program_invocation_name) {
        std::error_code error;
        std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
        if (!error) return program.string();
    }
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) return resolved;
    return path;
}

const std::optional<std::string> &InstallationFolder() {
    static std::optional<std::string> folder;
    static std::once_flag once;
    std::call_once(once, [] { folder = FindInstallationFolder(OwnModulePath(), GetEnvironment); });
    return folder;
}

}  // namespace vexo::templates::platform
