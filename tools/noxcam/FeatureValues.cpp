#include "FeatureValues.h"

#include "FeatureInformation.h"
#include "ToolError.h"
#include "ValueText.h"

namespace noxcam {

namespace {

FeatureValue Success(nlohmann::ordered_json value, std::string text) { return {ERR_NONE, std::move(value), std::move(text)}; }

FeatureValue ReadInteger(NoxCameraHandle *camera, const char *name) {
    int64_t value = 0;
    const int32_t status = Nox_getIntegerValue(camera, name, &value);
    return status ? FeatureValue{status, {}, {}} : Success(value, std::to_string(value));
}

FeatureValue ReadFloat(NoxCameraHandle *camera, const char *name) {
    double value = 0;
    const int32_t status = Nox_getFloatValue(camera, name, &value);
    return status ? FeatureValue{status, {}, {}} : Success(value, FloatText(value));
}

FeatureValue ReadBoolean(NoxCameraHandle *camera, const char *name) {
    uint32_t value = 0;
    const int32_t status = Nox_getBooleanValue(camera, name, &value);
    return status ? FeatureValue{status, {}, {}} : Success(value != 0, value ? "true" : "false");
}

FeatureValue ReadText(int32_t status, const char *value) {
    return status ? FeatureValue{status, {}, {}} : Success(std::string(value), std::string(value));
}

FeatureValue ReadCommandState(NoxCameraHandle *camera, const char *name) {
    uint32_t done = 0;
    const int32_t status = Nox_isCommandDone(camera, name, &done);
    return status ? FeatureValue{status, {}, {}} : Success(done != 0, done ? "done" : "not done");
}

std::string RangeText(const std::string &minimum, const std::string &maximum, const std::string &increment) {
    return "takes " + minimum + " to " + maximum + (increment.empty() ? "" : " in steps of " + increment);
}

std::string EntriesText(const NoxFeatureInfo &info) {
    std::string names;
    for (uint32_t i = 0; i < info.entryCount; ++i)
        if (info.entries[i].available) names += (names.empty() ? "" : ", ") + std::string(info.entries[i].name);
    return "takes " + (names.empty() ? std::string("no entry now") : names) + " (names are case-sensitive)";
}

// What the feature takes now, for the line that tells why a value was refused; "" when it says nothing.
std::string AllowedValues(NoxCameraHandle *camera, const std::string &name) {
    NoxFeatureInfo *raw = nullptr;
    if (Nox_getFeatureInfo(camera, name.c_str(), &raw) != ERR_NONE) return {};
    const FeatureInfo info(raw);
    if (info->access != NOX_ACCESS_RW && info->access != NOX_ACCESS_WO)
        return name + " is " + AccessName(info->access) + " now";
    if (info->hasIntegerRange)
        return name + " " +
               RangeText(std::to_string(info->integerMin), std::to_string(info->integerMax),
                         info->integerIncrement > 1 ? std::to_string(info->integerIncrement) : "");
    if (info->hasFloatRange)
        return name + " " +
               RangeText(FloatText(info->floatMin), FloatText(info->floatMax),
                         info->floatIncrement > 0 ? FloatText(info->floatIncrement) : "");
    if (info->type == NOX_FEATURE_ENUMERATION) return name + " " + EntriesText(*info);
    return {};
}

// A refused write: the library's reason, then what the feature takes.
void CheckWrite(NoxCameraHandle *camera, int32_t status, const std::string &name, const std::string &what) {
    if (status == ERR_NONE) return;
    ToolError error(what, status, LastErrorReason());
    error.AddReason(AllowedValues(camera, name));
    throw error;
}

}  // namespace

FeatureValue ReadFeature(NoxCameraHandle *camera, const std::string &name, uint32_t type) {
    const char *feature = name.c_str();
    const char *text = nullptr;
    switch (type) {
        case NOX_FEATURE_INTEGER: return ReadInteger(camera, feature);
        case NOX_FEATURE_FLOAT: return ReadFloat(camera, feature);
        case NOX_FEATURE_BOOLEAN: return ReadBoolean(camera, feature);
        case NOX_FEATURE_ENUMERATION: {
            const int32_t status = Nox_getEnumerationValueAsString(camera, feature, &text);
            return ReadText(status, text);
        }
        case NOX_FEATURE_STRING: {
            const int32_t status = Nox_getStringValue(camera, feature, &text);
            return ReadText(status, text);
        }
        case NOX_FEATURE_COMMAND: return ReadCommandState(camera, feature);
        default: break;
    }
    return {ERR_INVALID_FEATURE, {}, {}};
}

void WriteFeature(NoxCameraHandle *camera, const std::string &name, uint32_t type, const std::string &text) {
    const std::string what = "set " + name + "=" + text;
    const char *feature = name.c_str();
    auto refuse = [&](const char *expected) {
        throw ToolError(what + ": " + name + " takes " + expected, ERR_INVALID_ARGUMENT);
    };
    switch (type) {
        case NOX_FEATURE_INTEGER: {
            const auto value = ParseInteger(text);
            if (!value) refuse("an integer");
            return CheckWrite(camera, Nox_setIntegerValue(camera, feature, *value), name, what);
        }
        case NOX_FEATURE_FLOAT: {
            const auto value = ParseFloat(text);
            if (!value) refuse("a finite number");
            return CheckWrite(camera, Nox_setFloatValue(camera, feature, *value), name, what);
        }
        case NOX_FEATURE_BOOLEAN: {
            const auto value = ParseBoolean(text);
            if (!value) refuse("true or false");
            return CheckWrite(camera, Nox_setBooleanValue(camera, feature, *value ? 1 : 0), name, what);
        }
        case NOX_FEATURE_ENUMERATION:
            return CheckWrite(camera, Nox_setEnumerationValue(camera, feature, text.c_str()), name, what);
        case NOX_FEATURE_STRING: return CheckWrite(camera, Nox_setStringValue(camera, feature, text.c_str()), name, what);
        case NOX_FEATURE_COMMAND:
            throw ToolError(what + ": " + name + " is a command; run it with exec", ERR_INVALID_FEATURE);
        default: break;
    }
    throw ToolError(what + ": " + name + " holds no value", ERR_INVALID_FEATURE);
}

}  // namespace noxcam
