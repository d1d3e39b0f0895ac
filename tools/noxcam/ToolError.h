#pragma once
// Failures of noxcam: what failed, the library status, and why: the library's last error text for
// the failed call, with what noxcam adds (the values a refused feature takes, for instance).
#include <cstdint>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

namespace noxcam {

// How noxcam exits.
enum ExitCode : int {
    kExitSuccess = 0,
    kExitFailure = 1,
    kExitPartlyApplied = 2,  // some of what was asked was done, some not
    kExitUsage = 64,         // the command line itself is wrong
};

class ToolError : public std::runtime_error {
public:
    ToolError(std::string what, int32_t status, std::string reason = {}, int exitCode = kExitFailure);
    int32_t Status() const { return status_; }
    const std::string &Reason() const { return reason_; }
    int Exit() const { return exitCode_; }
    // Adds to the reason, after what is there ("; " between).
    void AddReason(const std::string &more);
    void SetExit(int exitCode) { exitCode_ = exitCode; }

private:
    int32_t status_;
    std::string reason_;
    int exitCode_;
};

// A command line that cannot be carried out as written; nothing was done.
ToolError UsageError(std::string what);

// The constant's name ("ERR_INVALID_FEATURE"), or "status <code>" for a code the header does not name.
std::string StatusName(int32_t status);

// The calling thread's last error text without its "thread-id=...|" prefix; "" when the last call
// wrote none. Read it right after the failed call: the next library call clears it.
std::string LastErrorReason();

// "noxcam: <what failed>: <STATUS_NAME> (<code>): <description>[: <reason>]", the one line a
// failure prints.
std::string FailureLine(const ToolError &error);
// The same as one JSON object: what, status, name, description, reason.
nlohmann::ordered_json FailureJson(const ToolError &error);

// Throws a ToolError for a non-zero status, with the library's reason for it.
void Check(int32_t status, const std::string &what);

}  // namespace noxcam
