#include "genicam/ParameterDump.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>

#include "genapi/GenApi.h"
#include "genicam/CategoryWalk.h"
#include "logging/LoggerNames.h"
#include "logging/Logging.h"
#include "logging/Record.h"

namespace vexo::genicam {

using namespace GenApi;

// The values a selector can take, in order: an integer's range is counted,
// never held, so its size costs no memory; an enumeration lists its entries.
class ParameterDump::SelectorValues {
public:
    explicit SelectorValues(INode &selector);

    uint64_t Count() const { return entries_ ? entries_->size() : count_; }
    int64_t At(uint64_t i) const {
        // Counted in unsigned steps: maximum - minimum may exceed int64.
        return entries_ ? (*entries_)[i] : static_cast<int64_t>(first_ + i * increment_);
    }

private:
    std::optional<std::vector<int64_t>> entries_;
    uint64_t first_ = 0, increment_ = 1, count_ = 0;
};

ParameterDump::SelectorValues::SelectorValues(INode &selector) {
    if (CIntegerPtr integer = &selector; integer.IsValid()) {
        const int64_t minimum = integer->GetMin(), maximum = integer->GetMax();
        if (maximum < minimum) return;
        first_ = static_cast<uint64_t>(minimum);
        increment_ = static_cast<uint64_t>(std::max<int64_t>(integer->GetInc(), 1));
        const uint64_t span = static_cast<uint64_t>(maximum) - first_;
        // A full 64-bit range holds one value more than a count can say; the line bound ends it long before.
        count_ = span / increment_ == UINT64_MAX ? UINT64_MAX : span / increment_ + 1;
        return;
    }
    entries_.emplace();
    if (CEnumerationPtr enumeration = &selector; enumeration.IsValid()) {
        NodeList_t entries;
        enumeration->GetEntries(entries);
        for (INode *node : entries) {
            CEnumEntryPtr entry = node;
            // An entry that is not available now cannot be selected.
            if (entry.IsValid() && IsAvailable(node)) entries_->push_back(entry->GetValue());
        }
    }
}

namespace {

void LogLeftOut(const std::string &message) {
    using namespace tools::logging;
    WriteRecord(Logging::Instance()->GetLogger(names::kLibrary), kLevelWarning, {}, message);
}

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
    WriteLine(out, "# --- GenICam parameter dump");
    WriteLine(out, "");
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

void ParameterDump::WriteLine(std::ostream &out, const std::string &line) {
    out << line << '\n';
    ++lines_;
}

void ParameterDump::WriteFeature(std::ostream &out, INode &node, int depth) {
    const std::vector<INode *> selected = SelectedBy(node);
    if (selected.empty()) {
        WriteLine(out, ValueLine(node));
        return;
    }
    WriteSelector(out, node, selected, depth);
}

void ParameterDump::WriteSelector(std::ostream &out, INode &selector, const std::vector<INode *> &selected,
                                  int depth) {
    if (expanding_.count(&selector) != 0) return WriteSelectorOnce(out, selector, selected);
    // The caller finds such a selector once, with its current value, and a record saying so.
    if (depth >= kMaxSelectorDepth) {
        if (tooDeep_.insert(&selector).second)
            LogLeftOut("Parameter dump left out every value of selector " + OneLine(selector.GetName()) +
                       " but its current one: it is nested deeper than " + std::to_string(kMaxSelectorDepth) +
                       " selectors");
        return WriteSelectorOnce(out, selector, selected);
    }
    std::optional<int64_t> original;
    std::optional<SelectorValues> values;
    try {
        if (IsReadable(&selector) && IsWritable(&selector)) {
            original = SelectorValueNow(selector);
            values.emplace(selector);
        }
    } catch (const std::exception &) {
        values.reset();  // written once below, with the reason on its line
    }
    if (!original || !values || values->Count() == 0) return WriteSelectorOnce(out, selector, selected);

    const std::vector<INode *> own = OwnFeatures(selector, selected);
    expanding_.insert(&selector);
    for (uint64_t i = 0; i < values->Count(); ++i) {
        // The caller finds the selector's remaining values left out, and a record saying which.
        if (lines_ >= maxLines_) {
            LogLeftOut("Parameter dump left out selector " + OneLine(selector.GetName()) + " from value " +
                       std::to_string(values->At(i)) + " on (" + std::to_string(values->Count() - i) + " of " +
                       std::to_string(values->Count()) + " values): the file holds " + std::to_string(lines_) +
                       " lines");
            break;
        }
        try {
            SetSelectorValue(selector, values->At(i));
        } catch (const std::exception &exception) {
            WriteLine(out, "# " + OneLine(selector.GetName()) + ": exception - " + OneLine(exception.what()));
            continue;
        }
        WriteLine(out, ValueLine(selector));
        for (INode *feature : own) WriteFeature(out, *feature, depth + 1);
    }
    expanding_.erase(&selector);
    try {
        SetSelectorValue(selector, *original);
    } catch (const std::exception &) {
        // The camera refuses its own earlier value; nothing more to do here.
    }
}

void ParameterDump::WriteSelectorOnce(std::ostream &out, INode &selector, const std::vector<INode *> &selected) {
    WriteLine(out, ValueLine(selector));
    for (INode *feature : selected)
        if (feature != &selector) WriteLine(out, ValueLine(*feature));
}

// The features written after each value of a selector: those it selects,
// less any that another selector of them selects too, which is written under
// that inner one only; after the inner one is set back, a later line would be
// read at one of its values and loaded at another.
std::vector<INode *> ParameterDump::OwnFeatures(INode &selector, const std::vector<INode *> &selected) {
    std::set<INode *> inner;
    for (INode *feature : selected)
        if (feature != &selector)
            for (INode *further : SelectedBy(*feature))
                if (further != feature) inner.insert(further);
    std::vector<INode *> own;
    for (INode *feature : selected)
        if (feature != &selector && inner.count(feature) == 0) own.push_back(feature);
    return own;
}

}  // namespace vexo::genicam
