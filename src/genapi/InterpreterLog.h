#pragma once
// Private to src/genapi.
#include <string>

namespace vexo::genicam::genapi {

// What the interpreter says while the layer calls it. The interpreter reports
// broken assumptions through GLib's log (a failed precondition returns 0 or
// nothing, with a message on stderr) and prints its own warnings to stderr.
// Inside a Scope such messages become error records of the logger
// "vexo.genicam.GenApi" and fail the call; outside one, GLib's messages take
// GLib's usual way. The interpreter's own printing is switched off.
class InterpreterLog {
public:
    // One interpreter call on this thread; scopes nest.
    class Scope {
    public:
        Scope();
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

        // The first message of this call, empty when there was none.
        const std::string &Complaint() const;
    };

    // Installs the handler (once per process).
    static void Install();
};

}  // namespace vexo::genicam::genapi
