#include "genicam/ParameterDump.h"

#include <algorithm>
#include <cstdint>
#include <charconv>
#include <optional>

#include "genapi/GenApi.h"
#include "genicam/CategoryWalk.h"

namespace vexo::genicam {

using namespace GenApi;

struct ParameterDump::SelectorValue {
    int64_t value;
};

namespace {

// Keeps a text from the camera or its description on one line, so that it
// cannot add lines of its own to the file.
std::string OneLine(std::string text) {
    std::replace_if(text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    return text;
}

bool HoldsLineBreak(const std::string &text) { return text.find_first_of("\r\n") != std::string::npos; }

std::string FloatText(double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

// The value text of a node, or nothing for kinds without one. Raises what the
// node raises when it cannot be read.
std::optional<std::string> ValueText(INode &node, bool &alwaysCommented) {
    if (CIntegerPtr integer = &node; integer.IsValid()) return std::to_string(integer->GetValue());
    if (CFloatPtr number = &node; number.IsValid()) return FloatText(number->GetValue());
    if (CBooleanPtr boolean = &node; boolean.IsValid()) return boolean->GetValue() ? "1" : "0";
    if (CStringPtr text = &node; text.IsValid()) {
        const std::string value = text->GetValue();
        if (HoldsLineBreak(value)) throw RUNTIME_EXCEPTION("The text holds a line break");
        return "\"" + value + "\"";
    }
    if (CEnumerationPtr enumeration = &node; enumeration.IsValid()) {
        IEnumEntry *entry = enumeration->GetCurrentEntry();
        if (entry == nullptr)
            throw RUNTIME_EXCEPTION("Value %lld is no entry of the enumeration",
                                    static_cast<long long>(enumeration->GetIntValue()));
        return std::string(entry->GetSymbolic());
    }
    if (CCommandPtr command = &node; command.IsValid()) {
        alwaysCommented = true;
        return command->IsDone() ? "1" : "0";
    }
    return std::nullopt;
}

std::optional<int64_t> SelectorValueNow(INode &selector) {
    if (CIntegerPtr integer = &selector; integer.IsValid()) return integer->GetValue();
    if (CEnumerationPtr enumeration = &selector; enumeration.IsValid()) return enumeration->GetIntValue();
    return std::nullopt;
}

void SetSelectorValue(INode &selector, int64_t value) {
    if (CIntegerPtr integer = &selector; integer.IsValid()) integer->SetValue(value);
    else if (CEnumerationPtr enumeration = &selector; enumeration.IsValid()) enumeration->SetIntValue(value);
}

std::vector<INode *> SelectedBy(INode &node) {
    std::vector<INode *> selected;
    CSelectorPtr selector = &node;
    if (!selector.IsValid() || !selector->IsSelector()) return selected;
    FeatureList_t features;
    selector->GetSelectedFeatures(features);
    for (IValue *feature : features)
        if (feature != nullptr && feature->GetNode() != nullptr) selected.push_back(feature->GetNode());
    return selected;
}

}  // namespace

std::string ParameterDump::ValueLine(INode &node) {
    std::string name = "(unnamed)";
    try {
        name = OneLine(node.GetName());
        bool alwaysCommented = false;
        const std::optional<std::string> value = ValueText(node, alwaysCommented);
        if (!value) return "# " + name + ": not supported";
        const bool settable = IsReadable(&node) && IsWritable(&node);
        return (settable && !alwaysCommented ? "" : "# ") + name + "=" + *value;
    } catch (const GenICam::GenericException &exception) {
        return "# " + name + ": genicam exception - " + OneLine(exception.GetDescription());
    } catch (const std::exception &exception) {
        return "# " + name + ": exception - " + OneLine(exception.what());
    } catch (...) {
        return "# " + name + ": unknown exception";
    }
}

bool ParameterDump::Write(std::ostream &out) {
    INode *root = nodeMap_.GetNode("Root");
    if (root == nullptr || !CCategoryPtr(root).IsValid()) return false;
    const std::vector<INode *> features = FeaturesUnderRoot(*root);
    CollectSelectedFeatures(features);
    out << "# --- GenICam parameter dump\n\n";
    for (INode *feature : features)
        if (selectedFeatures_.count(feature) == 0) WriteFeature(out, *feature, 0);
    return true;
}

std::vector<INode *> ParameterDump::FeaturesUnderRoot(INode &root) {
    std::vector<INode *> features;
    std::unordered_set<const INode *> seen{&root};
    WalkCategory(root, seen, SIZE_MAX, [&](INode &node, const std::string &) {
        if (!CCategoryPtr(&node).IsValid()) features.push_back(&node);
    });
    return features;
}

void ParameterDump::CollectSelectedFeatures(const std::vector<INode *> &features) {
    for (INode *feature : features) {
        for (INode *selected : SelectedBy(*feature))
            if (selected != feature) selectedFeatures_.insert(selected);
    }
}

void ParameterDump::WriteFeature(std::ostream &out, INode &node, int depth) {
    const std::vector<INode *> selected = SelectedBy(node);
    if (selected.empty()) {
        out << ValueLine(node) << '\n';
        return;
    }
    WriteSelector(out, node, selected, depth);
}

void ParameterDump::WriteSelector(std::ostream &out, INode &selector, const std::vector<INode *> &selected,
                                  int depth) {
    std::optional<int64_t> original;
    std::vector<SelectorValue> values;
    try {
        if (depth < kMaxSelectorDepth && IsReadable(&selector) && IsWritable(&selector)) {
            original = SelectorValueNow(selector);
            values = SelectorValues(selector);
        }
    } catch (const std::exception &) {
        values.clear();  // written once below, with the reason on its line
    }
    if (!original || values.empty()) {
        out << ValueLine(selector) << '\n';
        for (INode *feature : selected) out << ValueLine(*feature) << '\n';
        return;
    }
    for (const SelectorValue &value : values) {
        try {
            SetSelectorValue(selector, value.value);
        } catch (const std::exception &exception) {
            out << "# " << OneLine(selector.GetName()) << ": exception - " << OneLine(exception.what()) << '\n';
            continue;
        }
        out << ValueLine(selector) << '\n';
        for (INode *feature : selected)
            if (feature != &selector) WriteFeature(out, *feature, depth + 1);
    }
    try {
        SetSelectorValue(selector, *original);
    } catch (const std::exception &) {
        // The camera refuses its own earlier value; nothing more to do here.
    }
}

std::vector<ParameterDump::SelectorValue> ParameterDump::SelectorValues(INode &selector) {
    std::vector<SelectorValue> values;
    if (CIntegerPtr integer = &selector; integer.IsValid()) {
        const int64_t minimum = integer->GetMin(), maximum = integer->GetMax();
        const int64_t increment = std::max<int64_t>(integer->GetInc(), 1);
        if (maximum < minimum) return values;
        // Counted in unsigned steps: maximum - minimum may exceed int64.
        const uint64_t span = static_cast<uint64_t>(maximum) - static_cast<uint64_t>(minimum);
        const uint64_t count = span / static_cast<uint64_t>(increment) + 1;
        if (count > static_cast<uint64_t>(kMaxSelectorValues)) return values;
        for (uint64_t i = 0; i < count; ++i)
            values.push_back({static_cast<int64_t>(static_cast<uint64_t>(minimum) + i * static_cast<uint64_t>(increment))});
        return values;
    }
    if (CEnumerationPtr enumeration = &selector; enumeration.IsValid()) {
        NodeList_t entries;
        enumeration->GetEntries(entries);
        for (INode *node : entries) {
            CEnumEntryPtr entry = node;
            // An entry that is not available now cannot be selected.
            if (entry.IsValid() && IsAvailable(node)) values.push_back({entry->GetValue()});
        }
        if (values.size() > static_cast<size_t>(kMaxSelectorValues)) values.clear();
    }
    return values;
}

}  // namespace vexo::genicam
