#include "genapi/InterpreterError.h"

#include <string>

#include "genapi/GenericException.h"
#include "genapi/PortDevice.h"

namespace vexo::genicam::genapi {

void InterpreterError::ThrowIfSet() {
    if (error_) Throw();
}

namespace {

// The interpreter puts "[node] " in front of a message for every node it
// passes on the way up; the caller wants the failure's own text. A port's
// text is taken whole, as the port gave it.
std::string MessageOf(const GError &error) {
    std::string message = error.message ? error.message : "";
    if (error.domain == PortErrorQuark()) {
        const std::string &portText = PortDevice::LastFailureText();
        if (message.size() >= portText.size() && message.compare(message.size() - portText.size(), portText.size(), portText) == 0)
            return portText;
    }
    size_t start = 0;
    while (start < message.size() && message[start] == '[') {
        const size_t close = message.find("] ", start);
        if (close == std::string::npos) break;
        start = close + 2;
    }
    message.erase(0, start);
    return message.empty() ? "Unknown interpreter failure" : message;
}

}  // namespace

void InterpreterError::ThrowIfComplained(const InterpreterLog::Scope &scope) {
    if (!scope.Complaint().empty()) throw GenICam::GenericException(scope.Complaint(), __FILE__, __LINE__);
}

void InterpreterError::Throw() {
    const std::string message = MessageOf(*error_);
    const bool portRefused = error_->domain == PortErrorQuark() && error_->code != static_cast<gint>(PortError::Failed);
    g_clear_error(&error_);
    if (portRefused) throw GenICam::AccessException(message, __FILE__, __LINE__);
    throw GenICam::GenericException(message, __FILE__, __LINE__);
}

}  // namespace vexo::genicam::genapi
