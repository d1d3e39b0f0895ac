#pragma once
// Private to src/genapi.
#include <cstddef>
#include <optional>
#include <string>

namespace vexo::genicam::genapi {

// Brings descriptions of GenICam schema 1.0 to what the interpreter knows.
// Schema 1.0 had node kinds for the configuration ROM and the advanced
// features of IEEE 1394 cameras that later schemas dropped; the interpreter
// skips them, and with them the features they are. Each becomes the register
// kind of the table in DescriptionTranslator.cpp, read at the address the
// description gives (the ports this library serves have no ROM directory to
// search), keeping its name, so the features read.
class DescriptionTranslator {
public:
    // The translated text, or nothing when the description holds none of
    // those kinds (or is no XML this can read: the check then says why).
    static std::optional<std::string> Translate(const void *description, size_t size);
};

}  // namespace vexo::genicam::genapi
