#include "genapi/InterpreterError.h"

#include <string>

#include "genapi/GenericException.h"
#include "genapi/PortDevice.h"

namespace vexo::genicam::genapi {

void InterpreterError::ThrowIfSet() {
    if (error_) Throw();
}

void InterpreterError::Throw() {
    const std::string message = error_->message ? error_->message : "Unknown interpreter failure";
    const bool portRefused = error_->domain == PortErrorQuark() && error_->code != static_cast<gint>(PortError::Failed);
    g_clear_error(&error_);
    if (portRefused) throw GenICam::AccessException(message, __FILE__, __LINE__);
    throw GenICam::GenericException(message, __FILE__, __LINE__);
}

}  // namespace vexo::genicam::genapi
