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
// the dump afterwards. Features a selector selects are written only there,
// under the innermost selector that selects them, so that a file loaded line
// by line applies every value where it was read.
// Selectors are written whole, bounded only where the stack or the file would
// run out, with a level-4 record of what was left out: a selector nested
// deeper than kMaxSelectorDepth is written once with its current value, and
// selector values stop once the file holds `maxLines` lines. A selector met
// again inside its own expansion is written once, with the value set there.
// Categories are walked once each without recursion; texts stay on one line.
class ParameterDump {
public:
    static constexpr int kMaxSelectorDepth = 64;
    static constexpr uint64_t kMaxLines = uint64_t{1} << 22;

    explicit ParameterDump(GenApi::INodeMap &nodeMap, uint64_t maxLines = kMaxLines)
        : nodeMap_(nodeMap), maxLines_(maxLines) {}

    // False, with nothing written, when there is no category "Root".
    bool Write(std::ostream &out);

    // The line of one feature's current value (without the line feed).
    static std::string ValueLine(GenApi::INode &node);

private:
    class SelectorValues;

    // The features under "Root", categories replaced by their features, each once.
    std::vector<GenApi::INode *> FeaturesUnderRoot(GenApi::INode &root);
    void CollectSelectedFeatures(const std::vector<GenApi::INode *> &features);
    void WriteLine(std::ostream &out, const std::string &line);
    void WriteFeature(std::ostream &out, GenApi::INode &node, int depth);
    void WriteSelector(std::ostream &out, GenApi::INode &selector, const std::vector<GenApi::INode *> &selected,
                       int depth);
    void WriteSelectorOnce(std::ostream &out, GenApi::INode &selector, const std::vector<GenApi::INode *> &selected);
    static std::vector<GenApi::INode *> OwnFeatures(GenApi::INode &selector, const std::vector<GenApi::INode *> &selected);

    GenApi::INodeMap &nodeMap_;
    uint64_t maxLines_;
    uint64_t lines_ = 0;
    std::set<GenApi::INode *> selectedFeatures_;
    std::set<GenApi::INode *> expanding_;  // selectors whose values are being written
    std::set<GenApi::INode *> tooDeep_;    // selectors logged as nested too deeply
};

}  // namespace vexo::genicam
