#pragma once
#include <filesystem>
#include <string>

namespace nox_bench {

// A fresh folder under the system's temporary folder, removed with the object.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder &) = delete;
    TemporaryFolder &operator=(const TemporaryFolder &) = delete;

    // Writes the file (replacing it) and answers its absolute path.
    std::string Write(const std::string &name, const std::string &content) const;

private:
    std::filesystem::path path_;
};

}  // namespace nox_bench
