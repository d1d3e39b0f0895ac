#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

#include "protocol/GenCp.h"

namespace vexo::genicam {

// Failures of the GenCP stack. The code is the camera's GenCP status when the
// camera reported one, otherwise the generic error status.
class GenCPException : public std::runtime_error {
public:
    explicit GenCPException(const std::string &text,
                            uint32_t code = static_cast<uint32_t>(protocol::gencp::Status::kError))
        : std::runtime_error(text), code_(code) {}
    uint32_t Code() const { return code_; }

private:
    uint32_t code_;
};

// A protocol failure: no camera, a terminated request, a camera that sent nothing useful.
class gencp_error : public GenCPException {
public:
    using GenCPException::GenCPException;
};

// No acknowledge after every try.
class gencp_timeout : public GenCPException {
public:
    using GenCPException::GenCPException;
};

// A caller's argument the stack cannot serve.
class gencp_invalid_parameter : public GenCPException {
public:
    using GenCPException::GenCPException;
};

}  // namespace vexo::genicam
