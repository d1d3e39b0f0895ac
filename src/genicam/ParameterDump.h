#pragma once
#include <cstdint>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "genapi/INodeMap.h"

namespace vexo::genicam {

// Writes the feature values of a camera's node map as a parameter file:
//
//   # --- GenICam parameter dump
//   <empty line>
//   Name=value                  one line per feature, in the order of the
//   # Name=value                categories under "Root"; commented out ("# ")
//   # Name: not supported       unless readable and writable; a value that
//   # Name: genicam exception - ...   cannot be read gives a comment line
//
// Values: integers in decimal, floats in the shortest text that reads back to
// the same number, booleans 1/0, strings in double quotes, enumerations as
// the current entry's name, commands as their done state (always commented).
//
// A selector (an integer or enumeration that selects other features) is
// written once per value it can take, each time followed by the features it
// selects, after setting it to that value; it is set back to its value before
// the dump afterwards. Features a selector selects are written only there.
// Bounds against hostile descriptions: categories are walked once each
// without recursion, a selector with more than kMaxSelectorValues values (or
// nested deeper than kMaxSelectorDepth) is written once with its current
// value, and texts are kept to one line.
class ParameterDump {
public:
    static constexpr int64_t kMaxSelectorValues = 256;
    static constexpr int kMaxSelectorDepth = 2;

    explicit ParameterDump(GenApi::INodeMap &nodeMap) : nodeMap_(nodeMap) {}

    // False, with nothing written, when there is no category "Root".
    bool Write(std::ostream &out);

    // The line of one feature's current value (without the line feed).
    static std::string ValueLine(GenApi::INode &node);

private:
    struct SelectorValue;

    // The features under "Root", categories replaced by their features, each once.
    std::vector<GenApi::INode *> FeaturesUnderRoot(GenApi::INode &root);
    void CollectSelectedFeatures(const std::vector<GenApi::INode *> &features);
    void WriteFeature(std::ostream &out, GenApi::INode &node, int depth);
    void WriteSelector(std::ostream &out, GenApi::INode &selector, const std::vector<GenApi::INode *> &selected,
                       int depth);
    std::vector<SelectorValue> SelectorValues(GenApi::INode &selector);

    GenApi::INodeMap &nodeMap_;
    std::set<GenApi::INode *> selectedFeatures_;
};

}  // namespace vexo::genicam
