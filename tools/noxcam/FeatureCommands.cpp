// features, describe, get, set, exec, xml, params: the camera's GenICam features and its description.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "CommandLine.h"
#include "FeatureInformation.h"
#include "FeatureValues.h"
#include "Output.h"
#include "Session.h"
#include "ToolError.h"
#include "ValueText.h"

namespace noxcam {

namespace {

// Descriptions larger than the library accepts are not asked for.
constexpr size_t kMaxDescriptionSize = size_t{64} << 20;

std::string Description(NoxCameraHandle *camera) {
    size_t size = 0;
    Check(Nox_getGenICamXML(camera, nullptr, &size), "reading the description copy");
    if (size == 0 || size > kMaxDescriptionSize + 1)
        throw ToolError("reading the description copy: size " + std::to_string(size), ERR_INVALID_DATA);
    std::string text(size, '\0');
    Check(Nox_getGenICamXML(camera, text.data(), &size), "reading the description copy");
    text.resize(std::min(size, text.size()));
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

std::string Lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

struct ListOptions {
    bool all = false;         // Guru and invisible features too
    std::string filter;       // only features whose name holds this text (any case)
    std::string category;     // only the features under this category
};

// The category tree of the node map's listing, walked into table rows and a JSON tree. Each
// feature's access, visibility and unit are the node map's now.
class FeatureLister {
public:
    FeatureLister(NoxCameraHandle *camera, const ListOptions &options)
        : camera_(camera), options_(options), filter_(Lowercase(options.filter)) {
        for (ListedFeature &feature : ListFeatures(camera)) {
            const bool root = feature.type == NOX_FEATURE_CATEGORY && feature.categoryPath.empty();
            if (root)
                roots_.push_back(std::move(feature));
            else if (!feature.categoryPath.empty())
                members_[feature.categoryPath].push_back(std::move(feature));
        }
    }

    // The category the listing starts from: the one named, else "Root" or the first root category.
    const ListedFeature &Top() const {
        if (!options_.category.empty()) {
            for (const auto &[path, members] : members_)
                for (const ListedFeature &member : members)
                    if (member.type == NOX_FEATURE_CATEGORY && member.name == options_.category) return member;
            for (const ListedFeature &root : roots_)
                if (root.name == options_.category) return root;
            throw ToolError(options_.category + ": no such category", ERR_INVALID_FEATURE);
        }
        for (const ListedFeature &root : roots_)
            if (root.name == "Root") return root;
        if (roots_.empty()) throw ToolError("the camera's description has no category", ERR_INVALID_DATA);
        return roots_.front();
    }

    // The category's JSON, or null when nothing in it is shown (the top category is always shown).
    nlohmann::ordered_json Category(const ListedFeature &category, size_t depth) {
        const size_t row = table.rows.size();
        table.rows.push_back({Indent(depth) + category.name, "", "Category", ""});
        nlohmann::ordered_json members = nlohmann::ordered_json::array();
        const std::string path = MemberPath(category);
        if (auto found = members_.find(path); found != members_.end() && depth < kMaxDepth) {
            for (const ListedFeature &member : found->second) {
                const FeatureInfo info = DescribeFeature(camera_, member.name);
                if (!Visible(*info)) continue;
                nlohmann::ordered_json json = member.type == NOX_FEATURE_CATEGORY ? Category(member, depth + 1)
                                                                           : Feature(*info, depth + 1);
                if (!json.is_null()) members.push_back(std::move(json));
            }
        }
        if (members.empty() && depth > 0) {
            table.rows.erase(table.rows.begin() + static_cast<std::ptrdiff_t>(row));
            return nullptr;
        }
        return {{"name", category.name}, {"type", "Category"}, {"features", std::move(members)}};
    }

    Table table{{"FEATURE", "VALUE", "TYPE", "ACCESS"}, {}};

private:
    // Paths are as deep as the library walks categories; deeper ones are not followed.
    static constexpr size_t kMaxDepth = 64;

    static std::string Indent(size_t depth) { return std::string(depth * 2, ' '); }

    static std::string MemberPath(const ListedFeature &category) {
        return category.categoryPath.empty() ? category.name : category.categoryPath + "/" + category.name;
    }

    bool Visible(const NoxFeatureInfo &info) const {
        return options_.all || info.visibility == NOX_VISIBILITY_BEGINNER || info.visibility == NOX_VISIBILITY_EXPERT;
    }

    nlohmann::ordered_json Feature(const NoxFeatureInfo &info, size_t depth) {
        if (!filter_.empty() && Lowercase(info.name).find(filter_) == std::string::npos) return nullptr;
        nlohmann::ordered_json json = {{"name", info.name}, {"type", TypeName(info.type)}, {"access", AccessName(info.access)}};
        const std::string unit = info.unit;
        std::string shown;
        if (IsReadable(info.access) && info.type != NOX_FEATURE_COMMAND) {
            const FeatureValue value = ReadFeature(camera_, info.name, info.type);
            if (value.status == ERR_NONE) {
                json["value"] = value.value;
                shown = value.text + (unit.empty() ? "" : " " + unit);
            } else {
                json["error"] = {{"status", value.status}, {"name", StatusName(value.status)}};
                shown = "(" + StatusName(value.status) + ")";
            }
        }
        if (!unit.empty()) json["unit"] = unit;
        table.rows.push_back({Indent(depth) + info.name, shown, TypeName(info.type), AccessName(info.access)});
        return json;
    }

    NoxCameraHandle *camera_;
    const ListOptions &options_;
    const std::string filter_;
    std::vector<ListedFeature> roots_;
    std::map<std::string, std::vector<ListedFeature>> members_;  // by the path of the category listing them
};

void ListFeatureTree(const CommonOptions &options, const ListOptions &listOptions) {
    Session session(options);
    NoxCameraHandle *camera = session.GenICamCamera();
    FeatureLister lister(camera, listOptions);
    nlohmann::ordered_json root = lister.Category(lister.Top(), 0);
    Emit(options.json, {{"camera", session.Slot()}, {"root", std::move(root)}}, lister.table);
}

// One row and one JSON member per item of the feature's information.
class FeatureSheet {
public:
    void Add(const std::string &key, const nlohmann::ordered_json &value, const std::string &text) {
        json[key] = value;
        table.rows.push_back({key, text});
    }
    void Add(const std::string &key, const std::string &text) { Add(key, text, text); }

    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    Table table{{"PROPERTY", "VALUE"}, {}};
};

template <class Number>
void AddRange(FeatureSheet &sheet, Number minimum, Number maximum, Number increment,
              std::string (*text)(Number)) {
    sheet.Add("min", minimum, text(minimum));
    sheet.Add("max", maximum, text(maximum));
    sheet.Add("inc", increment, text(increment));
}

std::string IntegerText(int64_t value) { return std::to_string(value); }

void AddEntries(FeatureSheet &sheet, const NoxFeatureInfo &info) {
    nlohmann::ordered_json entries = nlohmann::ordered_json::array();
    for (uint32_t i = 0; i < info.entryCount; ++i) {
        const NoxEnumEntryInfo &entry = info.entries[i];
        entries.push_back({{"name", entry.name}, {"displayName", entry.displayName}, {"value", entry.value},
                           {"available", entry.available != 0}});
        sheet.table.rows.push_back({"entry", std::string(entry.name) + " = " + std::to_string(entry.value) +
                                                       (entry.available ? "" : " (not available)")});
    }
    sheet.json["entries"] = std::move(entries);
}

void AddSelection(FeatureSheet &sheet, const NoxFeatureInfo &info) {
    std::vector<std::string> selected(info.selectedFeatures, info.selectedFeatures + info.selectedCount);
    std::string text;
    for (const std::string &name : selected) text += (text.empty() ? "" : ", ") + name;
    sheet.Add("selects", selected, text);
}

void DescribeOne(const CommonOptions &options, const std::string &name) {
    Session session(options);
    NoxCameraHandle *camera = session.GenICamCamera();
    const FeatureInfo info = DescribeFeature(camera, name);
    FeatureSheet sheet;
    sheet.Add("name", info->name);
    sheet.Add("displayName", info->displayName);
    sheet.Add("type", TypeName(info->type));
    sheet.Add("access", AccessName(info->access));
    sheet.Add("visibility", VisibilityName(info->visibility));
    sheet.Add("categoryPath", info->categoryPath);
    sheet.Add("toolTip", info->toolTip);
    sheet.Add("description", info->description);
    if (info->representation != NOX_REPRESENTATION_UNDEFINED)
        sheet.Add("representation", RepresentationName(info->representation));
    if (*info->unit != '\0') sheet.Add("unit", info->unit);
    if (info->hasIntegerRange)
        AddRange<int64_t>(sheet, info->integerMin, info->integerMax, info->integerIncrement, IntegerText);
    if (info->hasFloatRange)
        AddRange<double>(sheet, info->floatMin, info->floatMax, info->floatIncrement, FloatText);
    if (info->type == NOX_FEATURE_ENUMERATION) AddEntries(sheet, *info);
    if (info->isSelector) AddSelection(sheet, *info);
    if (IsReadable(info->access) && info->type != NOX_FEATURE_COMMAND && info->type != NOX_FEATURE_CATEGORY) {
        const FeatureValue value = ReadFeature(camera, name, info->type);
        if (value.status == ERR_NONE) sheet.Add("value", value.value, value.text);
    }
    Emit(options.json, sheet.json, sheet.table);
}

// "Name = value" per feature, as set prints them; --value-only prints the bare values, one a line.
void GetFeatures(const CommonOptions &options, const std::vector<std::string> &names, bool valueOnly) {
    Session session(options);
    NoxCameraHandle *camera = session.GenICamCamera();
    nlohmann::ordered_json values = nlohmann::ordered_json::object();
    std::string text;
    for (const std::string &name : names) {
        const FeatureValue value = ReadFeature(camera, name, DescribeFeature(camera, name)->type);
        Check(value.status, "get " + name);
        values[name] = value.value;
        text += valueOnly ? value.text + "\n" : name + " = " + value.text + "\n";
    }
    Emit(options.json, values, text);
}

std::vector<Assignment> ParseAssignments(const std::vector<std::string> &texts) {
    std::vector<Assignment> assignments;
    for (const std::string &text : texts) {
        auto assignment = ParseAssignment(text);
        if (!assignment) throw UsageError("set: '" + text + "' is not NAME=VALUE");
        assignments.push_back(std::move(*assignment));
    }
    return assignments;
}

std::string NameList(const std::vector<std::string> &names) {
    std::string list;
    for (const std::string &name : names) list += (list.empty() ? "" : ", ") + name;
    return list;
}

// Writes in the order given and prints each value as the camera reads it back. A refusal after
// some values were written prints those, and says so: the command applied part of what it was given.
void SetFeatures(const CommonOptions &options, const std::vector<std::string> &texts) {
    const std::vector<Assignment> assignments = ParseAssignments(texts);  // all checked before any is written
    Session session(options);
    NoxCameraHandle *camera = session.GenICamCamera();
    nlohmann::ordered_json values = nlohmann::ordered_json::object();
    std::string text;
    std::vector<std::string> written;
    for (const Assignment &assignment : assignments) {
        try {
            const uint32_t type = DescribeFeature(camera, assignment.name)->type;
            WriteFeature(camera, assignment.name, type, assignment.value);
            const FeatureValue readBack = ReadFeature(camera, assignment.name, type);
            values[assignment.name] = readBack.status == ERR_NONE ? readBack.value : nlohmann::ordered_json(assignment.value);
            text += assignment.name + " = " + (readBack.status == ERR_NONE ? readBack.text : assignment.value) + "\n";
            written.push_back(assignment.name);
        } catch (ToolError &error) {
            if (written.empty()) throw;
            Emit(options.json, values, text);
            error.AddReason("written before it: " + NameList(written) + "; not written: " +
                            std::to_string(assignments.size() - written.size()) + " of " +
                            std::to_string(assignments.size()));
            error.SetExit(kExitPartlyApplied);
            throw;
        }
    }
    Emit(options.json, values, text);
}

void ExecuteCommand(const CommonOptions &options, const std::string &name) {
    Session session(options);
    Check(Nox_executeCommand(session.GenICamCamera(), name.c_str()), "exec " + name);
    Emit(options.json, {{"executed", name}, {"camera", session.Slot()}},
         "executed " + name + " on camera " + std::to_string(session.Slot()) + "\n");
}

void WriteDescription(const CommonOptions &options, const std::string &file) {
    Session session(options);
    const std::string text = Description(session.GenICamCamera());
    if (file.empty()) {
        Emit(options.json, {{"size", text.size()}, {"xml", text}}, text.ends_with('\n') ? text : text + "\n");
        return;
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) throw ToolError("writing the description to " + file, ERR_FILE_ACCESS);
    Emit(options.json, {{"file", file}, {"size", text.size()}},
         "wrote " + std::to_string(text.size()) + " bytes to " + file + "\n");
}

void SaveParameters(const CommonOptions &options, const std::string &file) {
    Session session(options);
    Check(Nox_SaveCameraParameters(session.GenICamCamera(), file.c_str()), "saving the parameters to " + file);
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(file, error);
    Emit(options.json, {{"file", file}, {"camera", session.Slot()}, {"bytes", error ? 0 : size}},
         "saved the parameters of camera " + std::to_string(session.Slot()) + " to " + file + "\n");
}

struct FreeLoadReport {
    void operator()(NoxParameterLoadReport *report) const { Nox_freeParameterLoadReport(report); }
};

// Applies the file line by line and reports each line that did not apply; exits 2 when any failed
// after others applied, 1 when none applied.
void LoadParameters(const CommonOptions &options, const std::string &file, bool strict) {
    Session session(options);
    NoxParameterLoadReport *raw = nullptr;
    Check(Nox_loadCameraParametersWithReport(session.GenICamCamera(), file.c_str(), strict ? 1 : 0, &raw),
          "loading the parameters from " + file);
    const std::unique_ptr<NoxParameterLoadReport, FreeLoadReport> report(raw);
    nlohmann::ordered_json failures = nlohmann::ordered_json::array();
    std::string text;
    for (uint32_t i = 0; i < report->failureCount; ++i) {
        const NoxParameterLineFailure &failure = report->failures[i];
        failures.push_back({{"line", failure.line}, {"feature", failure.feature}, {"reason", failure.reason}});
        text += file + ":" + std::to_string(failure.line) + ": " + failure.feature + ": " + failure.reason + "\n";
    }
    const std::string camera = "camera " + std::to_string(session.Slot());
    text += "applied " + std::to_string(report->applied) + " of " + std::to_string(report->applied + report->failed) +
            " lines from " + file + " to " + camera + (report->failed ? "; " + std::to_string(report->failed) +
            " failed" : "") + (report->stopped ? "; stopped at the first failure" : "") + "\n";
    Emit(options.json, {{"file", file}, {"camera", session.Slot()}, {"applied", report->applied},
                        {"failed", report->failed}, {"stopped", report->stopped != 0}, {"failures", failures}},
         text);
    if (report->failed == 0) return;
    const NoxParameterLineFailure &first = report->failures[0];
    ToolError error("loading the parameters from " + file, ERR_INVALID_FEATURE,
                    "line " + std::to_string(first.line) + ": " + first.reason);
    if (report->applied > 0) error.SetExit(kExitPartlyApplied);
    throw error;
}

}  // namespace

void AddFeatureCommands(CommandTable &table, CLI::App &app, const CommonOptions &options) {
    // Filled in by the parse; the actions hold them for as long as the table lives.
    struct Arguments {
        bool strict = false;
        bool valueOnly = false;
        ListOptions list;
        std::vector<std::string> names;
        std::string command, file, feature;
    };
    auto args = std::make_shared<Arguments>();

    CLI::App *features = table.Add(app, "features",
                                   "The camera's feature tree with the value, type and access of each feature now",
                                   [&options, args] { ListFeatureTree(options, args->list); });
    features->add_flag("--all", args->list.all, "Also the features for experts in depth (Guru) and the invisible ones");
    features->add_option("--filter", args->list.filter, "Only the features whose name holds TEXT (any case)")
        ->option_text("TEXT");
    features->add_option("--category", args->list.category, "Only the features under the category NAME")
        ->option_text("NAME");

    table.Add(app, "describe", "What the camera's node map says about one feature",
              [&options, args] { DescribeOne(options, args->feature); })
        ->add_option("FEATURE", args->feature, "Feature name")
        ->required();

    CLI::App *get = table.Add(app, "get", "Print the values of features as Name = value",
                              [&options, args] { GetFeatures(options, args->names, args->valueOnly); });
    get->add_option("NAME", args->names, "Feature names")->required();
    get->add_flag("-n,--value-only", args->valueOnly, "Print the bare values, one a line, in the order given");

    table.Add(app, "set", "Write features, in the order given, and print the values read back",
              [&options, args] { SetFeatures(options, args->names); })
        ->add_option("NAME=VALUE", args->names, "Assignments")
        ->required();

    table.Add(app, "exec", "Execute a command feature", [&options, args] { ExecuteCommand(options, args->command); })
        ->add_option("COMMAND", args->command, "Command feature name")
        ->required();

    table.Add(app, "xml", "Print the camera's GenICam description, or write it to a file",
              [&options, args] { WriteDescription(options, args->file); })
        ->add_option("-o,--output", args->file, "File to write");

    CLI::App *params = CommandTable::AddGroup(app, "params", "Camera parameter files (one Name=value line per feature)");
    table.Add(*params, "save", "Save every feature's value to a file",
              [&options, args] { SaveParameters(options, args->file); })
        ->add_option("FILE", args->file, "Parameter file")
        ->required();
    CLI::App *load = table.Add(*params, "load", "Apply a parameter file, line by line",
                               [&options, args] { LoadParameters(options, args->file, args->strict); });
    load->add_option("FILE", args->file, "Parameter file")->required();
    load->add_flag("--strict", args->strict, "Stop at the first line that cannot be applied");
    load->footer("Each line that did not apply is reported with its number, feature and reason. Exit code 2 when\n"
                 "some lines applied and others not, 1 when none applied.");
}

}  // namespace noxcam
