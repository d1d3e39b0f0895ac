#pragma once
// Failures of noxcam: what failed and the library status that says why.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace noxcam {

class ToolError : public std::runtime_error {
public:
    ToolError(std::string what, int32_t status);
    int32_t Status() const { return status_; }

private:
    int32_t status_;
};

// The constant's name ("ERR_INVALID_FEATURE"), or "status <code>" for a code the header does not name.
std::string StatusName(int32_t status);

// "noxcam: <what failed>: <STATUS_NAME> (<code>): <description>", the one line a failure prints.
std::string FailureLine(const ToolError &error);

// Throws a ToolError for a non-zero status.
void Check(int32_t status, const std::string &what);

}  // namespace noxcam
