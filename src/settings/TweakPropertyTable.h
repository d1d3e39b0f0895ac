#pragma once
#include <cstddef>

namespace vexo::templates::platform {

// One tunable value of the runtime. The table is shared with the runtime's
// other tools, so it carries rows this library never reads.
struct TweakPropertyRow {
    const char *key;                  // "Group::Name"; null ends the table
    const char *environmentVariable;  // empty: no environment source
    const char *commandLineOption;    // used by command-line tools only, not here
    const char *defaultValue;         // may be empty
};

// The property table, ended by a row whose key is null.
extern const TweakPropertyRow kTweakPropertyTable[];
// Rows before the end marker.
extern const std::size_t kTweakPropertyCount;

}  // namespace vexo::templates::platform
