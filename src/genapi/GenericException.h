#pragma once
#include <cstdarg>
#include <exception>
#include <string>

namespace GenICam {

// The exceptions of the GenApi layer. The description is what what() returns;
// source file and line tell where it was raised (null and 0 when unknown).
class GenericException : public std::exception {
public:
    explicit GenericException(std::string description, const char *sourceFile = nullptr, unsigned sourceLine = 0);

    const char *what() const noexcept override { return description_.c_str(); }
    const char *GetDescription() const noexcept { return description_.c_str(); }
    const char *GetSourceFileName() const noexcept { return sourceFile_.c_str(); }
    unsigned GetSourceLine() const noexcept { return sourceLine_; }

private:
    std::string description_;
    std::string sourceFile_;
    unsigned sourceLine_;
};

// A failure of the description or of its interpretation.
class RuntimeException : public GenericException {
public:
    using GenericException::GenericException;
};

// A call that makes no sense in the object's state (a programming error).
class LogicalErrorException : public GenericException {
public:
    using GenericException::GenericException;
};

// A camera description the layer will not hand to its interpreter; the
// description says why.
class InvalidDescriptionException : public RuntimeException {
public:
    using RuntimeException::RuntimeException;
};

// A node or port that cannot be read or written now: not implemented, not
// available, read only, write only, or no port connected.
class AccessException : public GenericException {
public:
    using GenericException::GenericException;
};

// A value outside a node's minimum, maximum, increment or length.
class OutOfRangeException : public GenericException {
public:
    using GenericException::GenericException;
};

// Descriptions are cut to this many characters.
constexpr size_t kMaxExceptionDescription = 256;

std::string FormatExceptionDescription(const char *format, va_list arguments);

// Builds an exception of one kind from a printf format, with the place it is
// raised: throw RUNTIME_EXCEPTION("Node %s not found", name).
template <class Exception>
class ExceptionReporter {
public:
    ExceptionReporter(const char *sourceFile, unsigned sourceLine) : sourceFile_(sourceFile), sourceLine_(sourceLine) {}

    Exception Report(const char *format, ...) const __attribute__((format(printf, 2, 3))) {
        va_list arguments;
        va_start(arguments, format);
        std::string description = FormatExceptionDescription(format, arguments);
        va_end(arguments);
        return Exception(std::move(description), sourceFile_, sourceLine_);
    }

private:
    const char *sourceFile_;
    unsigned sourceLine_;
};

}  // namespace GenICam

#define GENERIC_EXCEPTION ::GenICam::ExceptionReporter<::GenICam::GenericException>(__FILE__, __LINE__).Report
#define RUNTIME_EXCEPTION ::GenICam::ExceptionReporter<::GenICam::RuntimeException>(__FILE__, __LINE__).Report
#define LOGICAL_ERROR_EXCEPTION \
    ::GenICam::ExceptionReporter<::GenICam::LogicalErrorException>(__FILE__, __LINE__).Report
#define ACCESS_EXCEPTION ::GenICam::ExceptionReporter<::GenICam::AccessException>(__FILE__, __LINE__).Report
#define OUT_OF_RANGE_EXCEPTION ::GenICam::ExceptionReporter<::GenICam::OutOfRangeException>(__FILE__, __LINE__).Report
