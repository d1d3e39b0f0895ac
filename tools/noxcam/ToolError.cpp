#include "ToolError.h"

#include "nox_genicam_ext.h"

namespace noxcam {

ToolError::ToolError(std::string what, int32_t status, std::string reason, int exitCode)
    : std::runtime_error(std::move(what)), status_(status), reason_(std::move(reason)), exitCode_(exitCode) {}

void ToolError::AddReason(const std::string &more) {
    if (more.empty()) return;
    reason_ += (reason_.empty() ? "" : "; ") + more;
}

ToolError UsageError(std::string what) { return ToolError(std::move(what), ERR_INVALID_ARGUMENT, {}, kExitUsage); }

std::string StatusName(int32_t status) {
    switch (status) {
#define NOX_STATUS(name) \
    case name:           \
        return #name;
#include "StatusNames.inc"
#undef NOX_STATUS
    }
    return "status " + std::to_string(status);
}

std::string LastErrorReason() {
    const std::string record = Nox_getLastErrorText();
    const size_t bar = record.find('|');
    return bar == std::string::npos ? record : record.substr(bar + 1);
}

std::string FailureLine(const ToolError &error) {
    std::string line = "noxcam: " + std::string(error.what()) + ": " + StatusName(error.Status()) + " (" +
                       std::to_string(error.Status()) + "): " + Nox_getErrorDescription(error.Status());
    if (!error.Reason().empty()) line += ": " + error.Reason();
    return line;
}

nlohmann::ordered_json FailureJson(const ToolError &error) {
    return {{"error", error.what()},
            {"status", error.Status()},
            {"name", StatusName(error.Status())},
            {"description", Nox_getErrorDescription(error.Status())},
            {"reason", error.Reason()}};
}

void Check(int32_t status, const std::string &what) {
    if (status != ERR_NONE) throw ToolError(what, status, LastErrorReason());
}

}  // namespace noxcam
