#pragma once
#include <filesystem>
#include <string>

namespace nox_test {

// A fresh directory under the system's temporary folder, removed with the object.
class TempDirectory {
public:
    TempDirectory();
    ~TempDirectory();
    TempDirectory(const TempDirectory &) = delete;
    TempDirectory &operator=(const TempDirectory &) = delete;

    const std::filesystem::path &Path() const { return path_; }
    std::filesystem::path operator/(const std::string &name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path &path, const std::string &content);
std::string ReadFile(const std::filesystem::path &path);

}  // namespace nox_test
