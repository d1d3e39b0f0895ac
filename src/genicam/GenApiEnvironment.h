#pragma once
#include <optional>
#include <string>

#include "platform/InstallationFolder.h"
#include "platform/RecursiveMutex.h"

namespace vexo::genicam {

// Where the GenICam runtime finds its files, as the bracket sets them.
// A value that cannot be worked out stays empty and is not set.
struct GenApiEnvironmentPaths {
    std::optional<std::string> root;       // GENICAM_ROOT
    std::optional<std::string> cache;      // GENICAM_CACHE_V3_1
    std::optional<std::string> logConfig;  // GENICAM_LOG_CONFIG_V3_1
    std::optional<std::string> binFolder;  // prepended to PATH

    // Pure: root = <installation>/genicam; cache = $XDG_CACHE_HOME (else
    // $HOME/.cache)/GenICam/xml/cache, or <installation>/genicam when neither
    // is set; log configuration = <installation>/genicam/log/config/
    // VexoLogging.properties; VEXO_GENICAM_ROOT, VEXO_GENICAM_CACHE_V3_1 and
    // VEXO_GENICAM_LOG_CONFIG_V3_1 replace them when set; bin folder =
    // <root>/bin/Linux64_x64.
    static GenApiEnvironmentPaths Compute(const std::optional<std::string> &installationFolder,
                                          const templates::platform::EnvironmentReader &readEnvironment);
};

// PATH with the folder in front (":"-separated), or nothing when the folder
// already is its first element. An empty or missing PATH becomes the folder
// alone: an empty element would put the working directory on the search path.
std::optional<std::string> PathWithFolderFirst(const std::optional<std::string> &path, const std::string &folder);

// The process environment GenApi needs while it loads a description: entering
// saves GENICAM_ROOT, GENICAM_CACHE_V3_1 and GENICAM_LOG_CONFIG_V3_1, sets them
// (logged on "vexo.core.GenICamManager") and puts the runtime's bin folder
// first on PATH; leaving restores the variables that were set before (the
// others keep their new values, PATH stays extended). One bracket at a time
// in the process: a second thread waits until the first has left, so saved
// values are never mixed up.
class GenApiEnvironment {
public:
    GenApiEnvironment();
    ~GenApiEnvironment();
    GenApiEnvironment(const GenApiEnvironment &) = delete;
    GenApiEnvironment &operator=(const GenApiEnvironment &) = delete;

private:
    struct Saved {
        const char *name;
        std::optional<std::string> value;
    };

    void Set(Saved &saved, const std::optional<std::string> &value);
    void PrependToPath(const std::string &folder);

    templates::platform::RecursiveMutex::Guard guard_;
    Saved saved_[3];
};

}  // namespace vexo::genicam
