// A camera description through the GenApi layer's road: translated, checked
// and interpreted; when accepted, every node is asked for its access mode and
// value, and written back, against a small register space in memory. A crash,
// a sanitizer report or a complaint of the interpreter (a precondition of its
// own that the check let through) is a finding.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "Finding.h"
#include "FuzzPort.h"
#include "genapi/GenApi.h"

namespace {

// Reads the node as its kind and writes the value back where it may.
void Exercise(GenApi::INode &node) {
    using namespace GenApi;
    const bool writable = IsWritable(&node);
    if (CIntegerPtr integer = &node; integer.IsValid()) {
        const int64_t value = integer->GetValue();
        integer->GetMin();
        integer->GetMax();
        if (writable) integer->SetValue(value, false);
    } else if (CFloatPtr number = &node; number.IsValid()) {
        const double value = number->GetValue();
        if (writable) number->SetValue(value, false);
    } else if (CBooleanPtr boolean = &node; boolean.IsValid()) {
        const bool value = boolean->GetValue();
        if (writable) boolean->SetValue(value);
    } else if (CStringPtr text = &node; text.IsValid()) {
        const gcstring value = text->GetValue();
        if (writable) text->SetValue(value, false);
    } else if (CEnumerationPtr enumeration = &node; enumeration.IsValid()) {
        NodeList_t entries;
        enumeration->GetEntries(entries);
        if (IEnumEntry *entry = enumeration->GetCurrentEntry(); entry && writable)
            enumeration->SetIntValue(entry->GetValue(), false);
    } else if (CCommandPtr command = &node; command.IsValid()) {
        command->IsDone();
    } else if (CCategoryPtr category = &node; category.IsValid()) {
        FeatureList_t features;
        category->GetFeatures(features);
    }
    if (CSelectorPtr selector = &node; selector.IsValid() && selector->IsSelector()) {
        FeatureList_t selected;
        selector->GetSelectedFeatures(selected);
    }
}

bool IsInterpreterComplaint(const GenICam::GenericException &exception) {
    return std::strncmp(exception.what(), "Interpreter: ", 13) == 0;
}

}  // namespace

using nox_fuzz::Finding;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::unique_ptr<GenApi::INodeMap> map;
    try {
        map = GenApi::CNodeMapFactory(GenApi::ContentType_Xml, data, size).CreateNodeMap();
    } catch (const GenICam::GenericException &exception) {
        if (IsInterpreterComplaint(exception)) Finding(exception.what());
        return 0;
    }
    nox_fuzz::FuzzPort port;
    map->Connect(&port, "Device");
    GenApi::NodeList_t nodes;
    map->GetNodes(nodes);
    for (GenApi::INode *node : nodes) {
        try {
            node->GetAccessMode();
            Exercise(*node);
        } catch (const GenICam::GenericException &exception) {
            if (IsInterpreterComplaint(exception)) Finding(exception.what());
        } catch (const std::exception &) {
            // The port's failures travel as they are.
        }
    }
    return 0;
}
