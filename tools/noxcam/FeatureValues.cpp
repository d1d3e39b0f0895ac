#include "FeatureValues.h"

#include "ToolError.h"
#include "ValueText.h"

namespace noxcam {

namespace {

FeatureValue Success(nlohmann::json value, std::string text) { return {ERR_NONE, std::move(value), std::move(text)}; }

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

// A typed function that does not know the name, or knows it as another kind, answers this.
bool KnownAs(int32_t status) { return status != ERR_INVALID_FEATURE; }

}  // namespace

FeatureKind ResolveKind(NoxCameraHandle *camera, const FeatureTree *tree, const std::string &name) {
    if (const FeatureNode *node = tree ? tree->Find(name) : nullptr; node && node->kind != FeatureKind::kOther)
        return node->kind;
    for (FeatureKind kind : {FeatureKind::kInteger, FeatureKind::kFloat, FeatureKind::kBoolean, FeatureKind::kEnumeration,
                             FeatureKind::kString, FeatureKind::kCommand})
        if (KnownAs(ReadFeature(camera, name, kind).status)) return kind;
    throw ToolError(name + ": no such feature", ERR_INVALID_FEATURE);
}

FeatureValue ReadFeature(NoxCameraHandle *camera, const std::string &name, FeatureKind kind) {
    const char *feature = name.c_str();
    const char *text = nullptr;
    switch (kind) {
        case FeatureKind::kInteger: return ReadInteger(camera, feature);
        case FeatureKind::kFloat: return ReadFloat(camera, feature);
        case FeatureKind::kBoolean: return ReadBoolean(camera, feature);
        case FeatureKind::kEnumeration: {
            const int32_t status = Nox_getEnumerationValueAsString(camera, feature, &text);
            return ReadText(status, text);
        }
        case FeatureKind::kString: {
            const int32_t status = Nox_getStringValue(camera, feature, &text);
            return ReadText(status, text);
        }
        case FeatureKind::kCommand: return ReadCommandState(camera, feature);
        case FeatureKind::kCategory:
        case FeatureKind::kRegister:
        case FeatureKind::kOther: break;
    }
    return {ERR_INVALID_FEATURE, {}, {}};
}

void WriteFeature(NoxCameraHandle *camera, const std::string &name, FeatureKind kind, const std::string &text) {
    const std::string what = "set " + name + "=" + text;
    const char *feature = name.c_str();
    auto refuse = [&](const char *expected) {
        throw ToolError(what + ": " + name + " takes " + expected, ERR_INVALID_ARGUMENT);
    };
    switch (kind) {
        case FeatureKind::kInteger: {
            const auto value = ParseInteger(text);
            if (!value) refuse("an integer");
            return Check(Nox_setIntegerValue(camera, feature, *value), what);
        }
        case FeatureKind::kFloat: {
            const auto value = ParseFloat(text);
            if (!value) refuse("a finite number");
            return Check(Nox_setFloatValue(camera, feature, *value), what);
        }
        case FeatureKind::kBoolean: {
            const auto value = ParseBoolean(text);
            if (!value) refuse("true or false");
            return Check(Nox_setBooleanValue(camera, feature, *value ? 1 : 0), what);
        }
        case FeatureKind::kEnumeration: return Check(Nox_setEnumerationValue(camera, feature, text.c_str()), what);
        case FeatureKind::kString: return Check(Nox_setStringValue(camera, feature, text.c_str()), what);
        case FeatureKind::kCommand:
            throw ToolError(what + ": " + name + " is a command; run it with exec", ERR_INVALID_FEATURE);
        case FeatureKind::kCategory:
        case FeatureKind::kRegister:
        case FeatureKind::kOther: break;
    }
    throw ToolError(what + ": " + name + " holds no value", ERR_INVALID_FEATURE);
}

}  // namespace noxcam
