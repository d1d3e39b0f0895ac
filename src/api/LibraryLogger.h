#pragma once
#include "logging/Logger.h"

namespace vexo::genicam {

// The logger of the exported interface, "vexo.genicam.lib", fetched once and
// cached until the library goes down.
tools::logging::Logger *LibraryLogger();
void ClearLibraryLoggerCache();

}  // namespace vexo::genicam
