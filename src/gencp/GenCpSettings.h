#pragma once
#include <cstdint>

namespace vexo::genicam {

// The tunable timing of the Camera Link GenCP stack, in milliseconds, read
// from the runtime settings when a connection is made.
struct GenCpSettings {
    uint32_t ackTimeoutMs = 800;          // "CL::GenCPAckTimeout": one try's wait for its acknowledge
    uint32_t connectionRetryWaitMs = 700;  // "CL::ConnectionRetryWait": pause between establishment tries

    // Lookup failures propagate (std::runtime_error from the settings store).
    static GenCpSettings Load();
};

}  // namespace vexo::genicam
