#include "discovery/MasterRecord.h"

namespace vexo::genicam {

void MasterRecord::SetInfo(const std::string &name, const char *value) {
    infoStrings[name] = value != nullptr ? value : "";
}

CameraInfoTexts MasterRecord::InfoFields() const {
    CameraInfoTexts fields;
    for (std::size_t i = 0; i < kCameraInfoNames.size(); ++i) {
        const auto found = infoStrings.find(kCameraInfoNames[i]);
        if (found != infoStrings.end()) fields[i] = found->second;
    }
    return fields;
}

}  // namespace vexo::genicam
