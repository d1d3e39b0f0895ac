#include "ToolError.h"

#include "nox_genicam.h"

namespace noxcam {

ToolError::ToolError(std::string what, int32_t status) : std::runtime_error(std::move(what)), status_(status) {}

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

std::string FailureLine(const ToolError &error) {
    return "noxcam: " + std::string(error.what()) + ": " + StatusName(error.Status()) + " (" +
           std::to_string(error.Status()) + "): " + Nox_getErrorDescription(error.Status());
}

void Check(int32_t status, const std::string &what) {
    if (status != ERR_NONE) throw ToolError(what, status);
}

}  // namespace noxcam
