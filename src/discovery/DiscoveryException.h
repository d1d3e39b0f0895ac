#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

namespace vexo::genicam {

// A failure of the discovery model that callers map to the status it carries.
class DiscoveryException : public std::runtime_error {
public:
    DiscoveryException(int32_t status, const std::string &message) : std::runtime_error(message), status_(status) {}
    int32_t Status() const { return status_; }

private:
    int32_t status_;
};

}  // namespace vexo::genicam
