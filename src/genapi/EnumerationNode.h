#pragma once
#include <optional>
#include <utility>
#include <vector>

#include "genapi/IEnumEntry.h"
#include "genapi/IEnumeration.h"
#include "genapi/ISelector.h"
#include "genapi/Node.h"

namespace vexo::genicam::genapi {

class EnumEntryNode;

// An enumeration: IEnumeration and ISelector, never IInteger.
class EnumerationNode final : public Node, public virtual GenApi::IEnumeration, public virtual GenApi::ISelector {
public:
    using Node::Node;

    int64_t GetIntValue() override;
    void SetIntValue(int64_t value, bool verify) override;
    GenApi::IEnumEntry *GetCurrentEntry() override;
    GenApi::IEnumEntry *GetEntryByName(const GenApi::gcstring &symbolic) override;
    void GetEntries(GenApi::NodeList_t &entries) override;

    bool IsSelector() override;
    void GetSelectedFeatures(GenApi::FeatureList_t &features) override;

private:
    ArvGcEnumeration *Enumeration() const { return ARV_GC_ENUMERATION(node_); }
    // The enumeration's pValue or Value element; null when it has neither.
    ArvGcPropertyNode *ValueProperty() const;
    // The entries in the description's order.
    std::vector<EnumEntryNode *> Entries() const;
    // The first entry with that value; null when none has it. The caller
    // holds the map's lock.
    EnumEntryNode *EntryWithValue(int64_t value);
    // Every entry's value, when all are constants; empty otherwise.
    std::vector<std::pair<int64_t, EnumEntryNode *>> ConstantEntryValues() const;
    static bool HasValueReference(ArvDomNode *entry);
    EnumEntryNode *EntryAskedForValue(int64_t value);

    std::optional<std::vector<std::pair<int64_t, EnumEntryNode *>>> entryValues_;
};

// One entry of an enumeration; its name is its symbolic name.
class EnumEntryNode final : public Node, public virtual GenApi::IEnumEntry {
public:
    using Node::Node;

    int64_t GetValue() override;
    GenApi::gcstring GetSymbolic() const override { return GetName(); }
};

}  // namespace vexo::genicam::genapi
