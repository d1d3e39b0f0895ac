#include "api/LibraryLogger.h"
#include "board/BoardLibraries.h"
#include "logging/StatusDescription.h"
#include "logging/Record.h"
#include "nox_genicam.h"
#include "nox_genicam_ext.h"
#include "platform/LibraryInitController.h"

using vexo::templates::platform::LibraryInitController;

namespace {
// The board libraries stay loaded when the library goes down.
void KeepLibraryLoaded() {}
}  // namespace

extern "C" NOX_API void GenICamInit(void) {
    {
        LibraryInitController::Lock lock;
        LibraryInitController::Init();
        LibraryInitController::RegisterTeardownFunction(&KeepLibraryLoaded);
        vexo::genicam::LoadHardwareLibrary();
        LibraryInitController::RegisterTeardownFunction(&KeepLibraryLoaded);
        vexo::genicam::LoadAppletRuntime();
        LibraryInitController::RegisterTeardownFunction(&KeepLibraryLoaded);
        vexo::genicam::LoadGrabberLibrary();
        // The logging singleton dies at teardown, also when the last reference
        // is a board's (Nox_freeBoard): the cached logger must not outlive it.
        LibraryInitController::RegisterTeardownFunction(&vexo::genicam::ClearLibraryLoggerCache);
    }
    vexo::genicam::LibraryLogger();
}

extern "C" NOX_API void GenICamDeinit(void) {
    LibraryInitController::Deinit();
    vexo::genicam::ClearLibraryLoggerCache();
}

extern "C" NOX_API const char *Nox_getErrorDescription(int32_t status) {
    return vexo::tools::logging::StatusDescription(status);
}

// No call scope: asking must not forget what is asked for.
extern "C" NOX_API const char *Nox_getLastErrorText(void) {
    return vexo::tools::logging::LastErrorRecord().c_str();
}

extern "C" NOX_API const char *Nox_getLibraryVersion(void) { return NOX_GENICAM_VERSION; }
