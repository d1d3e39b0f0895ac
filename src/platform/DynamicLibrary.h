#pragma once
#include <string>

namespace vexo::templates::platform {

// The record of one attempt to load a shared library. A loaded library is
// never unloaded: entry points taken from it stay valid for the process.
struct DynamicLibrary {
    std::string path;
    void *handle = nullptr;
    int errorCode = 0;      // non-zero when the load failed
    std::string errorText;  // the loader's message for a failed load

    // Loads the file at path; false (with errorCode and errorText) on failure.
    bool Load(const std::string &libraryPath);
    bool IsLoaded() const { return handle != nullptr; }
    // The address of an exported symbol, or null.
    void *Symbol(const char *name) const;
};

}  // namespace vexo::templates::platform
