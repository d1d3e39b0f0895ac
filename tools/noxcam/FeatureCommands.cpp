// features, get, set, exec, xml, params: the camera's GenICam features and its description.
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include "CommandLine.h"
#include "FeatureTree.h"
#include "FeatureValues.h"
#include "Output.h"
#include "Session.h"
#include "ToolError.h"
#include "ValueText.h"

namespace noxcam {

namespace {

// Descriptions larger than the library accepts are not asked for.
constexpr size_t kMaxDescriptionSize = size_t{64} << 20;
// Categories nested deeper than this are not walked (a description may loop).
constexpr int kMaxCategoryDepth = 32;

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

FeatureTree ParsedTree(NoxCameraHandle *camera) {
    auto parsed = FeatureTree::Parse(Description(camera));
    if (auto *error = std::get_if<std::string>(&parsed))
        throw ToolError("reading the camera's description: " + *error, ERR_INVALID_DATA);
    return std::move(std::get<FeatureTree>(parsed));
}

bool Readable(Access access) { return access == Access::kReadOnly || access == Access::kReadWrite; }

// Walks the category tree into table rows and a JSON tree.
class FeatureLister {
public:
    FeatureLister(NoxCameraHandle *camera, const FeatureTree &tree, bool all) : camera_(camera), tree_(tree), all_(all) {}

    // The category's JSON, or null when nothing in it is shown.
    nlohmann::json Category(const FeatureNode &category, int depth) {
        if (depth > kMaxCategoryDepth || !visited_.insert(category.name).second) return nullptr;
        const size_t row = table.rows.size();
        table.rows.push_back({Indent(depth) + category.name, "", "Category", ""});
        nlohmann::json members = nlohmann::json::array();
        for (const std::string &name : category.features) {
            const FeatureNode *node = tree_.Find(name);
            if (!node || !Shown(*node)) continue;
            nlohmann::json member = node->kind == FeatureKind::kCategory ? Category(*node, depth + 1) : Feature(*node, depth + 1);
            if (!member.is_null()) members.push_back(std::move(member));
        }
        if (members.empty() && depth > 0) {
            table.rows.erase(table.rows.begin() + static_cast<std::ptrdiff_t>(row));
            return nullptr;
        }
        return {{"name", category.name}, {"type", "Category"}, {"features", std::move(members)}};
    }

    Table table{{"FEATURE", "VALUE", "TYPE", "ACCESS"}, {}};

private:
    static std::string Indent(int depth) { return std::string(static_cast<size_t>(depth) * 2, ' '); }

    bool Shown(const FeatureNode &node) const {
        return all_ || node.visibility == Visibility::kBeginner || node.visibility == Visibility::kExpert;
    }

    nlohmann::json Feature(const FeatureNode &node, int depth) {
        nlohmann::json json = {{"name", node.name}, {"type", KindName(node.kind)}, {"access", AccessName(node.access)}};
        std::string shown;
        if (Readable(node.access) && node.kind != FeatureKind::kCommand) {
            const FeatureValue value = ReadFeature(camera_, node.name, node.kind);
            if (value.status == ERR_NONE) {
                json["value"] = value.value;
                shown = value.text + (node.unit.empty() ? "" : " " + node.unit);
            } else {
                json["error"] = {{"status", value.status}, {"name", StatusName(value.status)}};
                shown = "(" + StatusName(value.status) + ")";
            }
        }
        if (!node.unit.empty()) json["unit"] = node.unit;
        table.rows.push_back({Indent(depth) + node.name, shown, KindName(node.kind), AccessName(node.access)});
        return json;
    }

    NoxCameraHandle *camera_;
    const FeatureTree &tree_;
    bool all_;
    std::set<std::string> visited_;
};

void ListFeatures(const CommonOptions &options, bool all) {
    Session session(options);
    NoxCameraHandle *camera = session.GenICamCamera();
    const FeatureTree tree = ParsedTree(camera);
    FeatureLister lister(camera, tree, all);
    nlohmann::json root = lister.Category(*tree.Find(tree.RootCategory()), 0);
    Emit(options.json, {{"camera", session.Slot()}, {"root", std::move(root)}}, lister.table);
}

void GetFeatures(const CommonOptions &options, const std::vector<std::string> &names) {
    Session session(options);
    NoxCameraHandle *camera = session.GenICamCamera();
    const FeatureTree tree = ParsedTree(camera);
    nlohmann::json values = nlohmann::json::object();
    std::string text;
    for (const std::string &name : names) {
        const FeatureKind kind = ResolveKind(camera, &tree, name);
        const FeatureValue value = ReadFeature(camera, name, kind);
        Check(value.status, "get " + name);
        values[name] = value.value;
        text += names.size() == 1 ? value.text + "\n" : name + " = " + value.text + "\n";
    }
    Emit(options.json, values, text);
}

std::vector<Assignment> ParseAssignments(const std::vector<std::string> &texts) {
    std::vector<Assignment> assignments;
    for (const std::string &text : texts) {
        auto assignment = ParseAssignment(text);
        if (!assignment) throw ToolError("set: '" + text + "' is not NAME=VALUE", ERR_INVALID_ARGUMENT);
        assignments.push_back(std::move(*assignment));
    }
    return assignments;
}

// Writes in the order given and prints each value as the camera reads it back.
void SetFeatures(const CommonOptions &options, const std::vector<std::string> &texts) {
    const std::vector<Assignment> assignments = ParseAssignments(texts);  // all checked before any is written
    Session session(options);
    NoxCameraHandle *camera = session.GenICamCamera();
    const FeatureTree tree = ParsedTree(camera);
    nlohmann::json values = nlohmann::json::object();
    std::string text;
    for (const Assignment &assignment : assignments) {
        const FeatureKind kind = ResolveKind(camera, &tree, assignment.name);
        WriteFeature(camera, assignment.name, kind, assignment.value);
        const FeatureValue readBack = ReadFeature(camera, assignment.name, kind);
        values[assignment.name] = readBack.status == ERR_NONE ? readBack.value : nlohmann::json(assignment.value);
        text += assignment.name + " = " + (readBack.status == ERR_NONE ? readBack.text : assignment.value) + "\n";
    }
    Emit(options.json, values, text);
}

void ExecuteCommand(const CommonOptions &options, const std::string &name) {
    Session session(options);
    Check(Nox_executeCommand(session.GenICamCamera(), name.c_str()), "exec " + name);
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
}

void LoadParameters(const CommonOptions &options, const std::string &file, bool strict) {
    Session session(options);
    Check(Nox_LoadCameraParameters(session.GenICamCamera(), file.c_str(), strict ? 1 : 0),
          "loading the parameters from " + file);
}

}  // namespace

void AddFeatureCommands(CommandTable &table, CLI::App &app, const CommonOptions &options) {
    // Filled in by the parse; the actions hold them for as long as the table lives.
    struct Arguments {
        bool all = false, strict = false;
        std::vector<std::string> names;
        std::string command, file;
    };
    auto args = std::make_shared<Arguments>();

    table.Add(app, "features", "The camera's feature tree with the value, type and access of each feature",
              [&options, args] { ListFeatures(options, args->all); })
        ->add_flag("--all", args->all, "Also the features for experts in depth (Guru) and the invisible ones");

    table.Add(app, "get", "Print the values of features", [&options, args] { GetFeatures(options, args->names); })
        ->add_option("NAME", args->names, "Feature names")
        ->required();

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
}

}  // namespace noxcam
