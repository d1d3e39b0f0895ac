// libopmod: the applet runtime. It finds applet registers by name, asking
// libvexo_hal, which holds the boards and their applets.
#include <cstdint>
#include <string>

#include "common/Export.h"
#include "libraries/PrivateKeys.h"

extern "C" int64_t QueryBoardInfo(uint64_t device, const char *key);

VEXOSIM_EXPORT int32_t LoadDesignFile(void) { return 0; }

VEXOSIM_EXPORT int64_t FindAppletRegister(uint64_t applet, const char *name) {
    if (!name) return 0;
    const std::string key = std::string(vexo::sim::kAppletRegisterKey) + name;
    const int64_t address = QueryBoardInfo(applet, key.c_str());
    return address > 0 ? address : 0;
}
