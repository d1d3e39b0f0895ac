#include "genapi/GenericException.h"

#include <cstdio>
#include <utility>

namespace GenICam {

GenericException::GenericException(std::string description, const char *sourceFile, unsigned sourceLine)
    : description_(std::move(description)), sourceFile_(sourceFile ? sourceFile : ""), sourceLine_(sourceLine) {}

std::string FormatExceptionDescription(const char *format, va_list arguments) {
    char text[kMaxExceptionDescription + 1];
    const int length = std::vsnprintf(text, sizeof text, format ? format : "", arguments);
    return length < 0 ? std::string() : std::string(text);
}

}  // namespace GenICam
