#pragma once
// Private to src/genapi: turns the interpreter's errors into exceptions.
#include <glib.h>

#include <type_traits>

#include "genapi/InterpreterLog.h"

namespace vexo::genicam::genapi {

// The error out-argument of one interpreter call. Throw() raises what the
// call reported: AccessException for a missing or refused port,
// GenericException carrying the interpreter's message for everything else.
class InterpreterError {
public:
    InterpreterError() = default;
    ~InterpreterError() { g_clear_error(&error_); }
    InterpreterError(const InterpreterError &) = delete;
    InterpreterError &operator=(const InterpreterError &) = delete;

    GError **Out() { return &error_; }
    bool IsSet() const { return error_ != nullptr; }
    // Raises the reported error, if any.
    void ThrowIfSet();
    // Raises a complaint the interpreter logged during the call, if any: a
    // result it returned then is no value.
    static void ThrowIfComplained(const InterpreterLog::Scope &scope);

private:
    [[noreturn]] void Throw();

    GError *error_ = nullptr;
};

// Calls an interpreter function that takes a trailing GError** and returns
// its result, raising what it reports or logs.
template <class Function, class... Arguments>
auto Checked(Function function, Arguments... arguments) {
    InterpreterLog::Scope scope;
    InterpreterError error;
    if constexpr (std::is_void_v<decltype(function(arguments..., error.Out()))>) {
        function(arguments..., error.Out());
        error.ThrowIfSet();
        InterpreterError::ThrowIfComplained(scope);
    } else {
        auto result = function(arguments..., error.Out());
        error.ThrowIfSet();
        InterpreterError::ThrowIfComplained(scope);
        return result;
    }
}

}  // namespace vexo::genicam::genapi
