#pragma once
// Private to src/genapi: what the description check learned of a description.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace vexo::genicam::genapi {

// How a register's value may be kept between accesses.
enum class Cachable { NoCache, WriteThrough, WriteAround };

// One reference of a node to another: the element's name (pValue, pMin, ...)
// and the index of the node it names.
struct NodeReference {
    std::string element;
    size_t target;
};

// A register's placement as far as the description fixes it.
struct RegisterFacts {
    // The sum of its Address elements; unset when pAddress, pIndex or an
    // embedded formula moves it at run time.
    std::optional<uint64_t> staticAddress;
    int64_t length = 4;
    Cachable cachable = Cachable::WriteThrough;
    std::optional<int64_t> pollingTimeMs;
};

// One node of an accepted description. Unnamed nodes (a StructReg, a Group)
// have an empty name.
struct NodeFacts {
    std::string name;
    std::string kind;  // the element's name: Integer, IntReg, ...
    std::optional<size_t> parent;  // the StructReg of a StructEntry, the Enumeration of an EnumEntry
    std::vector<NodeReference> references;
    std::optional<RegisterFacts> registerFacts;
};

// The nodes of an accepted description, in document order, with every
// reference resolved; the value references among them form no cycle.
struct DescriptionFacts {
    std::vector<NodeFacts> nodes;
    std::unordered_map<std::string, size_t> byName;  // the last node of a name, as the interpreter resolves it

    const NodeFacts *Named(const std::string &name) const {
        auto found = byName.find(name);
        return found == byName.end() ? nullptr : &nodes[found->second];
    }
};

// True for references whose target's value feeds the node's value or
// access; false for those that only list (pFeature, pSelected), route
// (pPort) or announce changes (pInvalidator).
bool IsValueReference(const std::string &element);

}  // namespace vexo::genicam::genapi
