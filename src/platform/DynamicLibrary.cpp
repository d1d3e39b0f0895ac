#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

namespace vexo::templates::platform {

bool DynamicLibrary::Load(const std::string &libraryPath) {
    path = libraryPath;
    ::dlerror();
    handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle != nullptr) {
        errorCode = 0;
        errorText.clear();
        return true;
    }
    const char *message = ::dlerror();
    errorCode = -1;
    errorText = message != nullptr ? message : "unknown error";
    return false;
}

void *DynamicLibrary::Symbol(const char *name) const {
    if (handle == nullptr) return nullptr;
    return ::dlsym(handle, name);
}

}  // namespace vexo::templates::platform
