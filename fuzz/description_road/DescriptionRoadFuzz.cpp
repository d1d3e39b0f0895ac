// A camera description through the GenApi layer's road: translated, checked
// and interpreted; when accepted, every node is asked for its access mode and
// value, and written back, against a small register space in memory. A crash,
// a sanitizer report or a complaint of the interpreter (a precondition of its
// own that the check let through) is a finding.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "genapi/GenApi.h"

namespace {

// 4 KiB of registers; everything past them fails like an unknown address.
class FuzzPort final : public GenApi::IPort {
public:
    GenApi::EAccessMode GetAccessMode() const override { return GenApi::RW; }
    void Read(void *buffer, int64_t address, int64_t length) override {
        Check(address, length);
        std::memcpy(buffer, bytes_ + address, static_cast<size_t>(length));
    }
    void Write(const void *buffer, int64_t address, int64_t length) override {
        Check(address, length);
        std::memcpy(bytes_ + address, buffer, static_cast<size_t>(length));
    }

private:
    static void Check(int64_t address, int64_t length) {
        if (address < 0 || length < 0 || address > kSize || length > kSize - address)
            throw std::runtime_error("invalid address");
    }
    static constexpr int64_t kSize = 4096;
    uint8_t bytes_[kSize] = {};
};

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

[[noreturn]] void Finding(const char *what) {
    std::fprintf(stderr, "finding: %s\n", what);
    std::abort();
}

bool IsInterpreterComplaint(const GenICam::GenericException &exception) {
    return std::strncmp(exception.what(), "Interpreter: ", 13) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::unique_ptr<GenApi::INodeMap> map;
    try {
        map = GenApi::CNodeMapFactory(GenApi::ContentType_Xml, data, size).CreateNodeMap();
    } catch (const GenICam::GenericException &exception) {
        if (IsInterpreterComplaint(exception)) Finding(exception.what());
        return 0;
    }
    FuzzPort port;
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
