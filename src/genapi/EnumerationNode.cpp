#include "genapi/EnumerationNode.h"

#include <cinttypes>

#include "genapi/GenericException.h"
#include "genapi/InterpreterError.h"

namespace vexo::genicam::genapi {

int64_t EnumerationNode::GetIntValue() { return Read(arv_gc_enumeration_get_int_value, Enumeration()); }

void EnumerationNode::SetIntValue(int64_t value, bool verify) {
    Guard guard(Mutex());
    RequireWritable();
    if (verify) {
        EnumEntryNode *entry = EntryWithValue(value);
        if (!entry || !GenApi::IsAvailable(entry->GetAccessMode())) {
            throw OUT_OF_RANGE_EXCEPTION("Value %" PRId64 " is no available entry of enumeration '%s'", value,
                                         GetName().c_str());
        }
    }
    // The interpreter's own write refuses an entry that is not available
    // now; unverified, the value goes to the enumeration's value as it is.
    ArvGcPropertyNode *target = ValueProperty();
    if (target == nullptr) throw ACCESS_EXCEPTION("Enumeration '%s' has no value to write", GetName().c_str());
    Checked(arv_gc_property_node_set_int64, target, static_cast<gint64>(value));
    NoteWritten();
}

ArvGcPropertyNode *EnumerationNode::ValueProperty() const {
    for (ArvDomNode *child = arv_dom_node_get_first_child(ARV_DOM_NODE(node_)); child;
         child = arv_dom_node_get_next_sibling(child)) {
        if (!ARV_IS_GC_PROPERTY_NODE(child)) continue;
        const ArvGcPropertyNodeType type = arv_gc_property_node_get_node_type(ARV_GC_PROPERTY_NODE(child));
        if (type == ARV_GC_PROPERTY_NODE_TYPE_P_VALUE || type == ARV_GC_PROPERTY_NODE_TYPE_VALUE)
            return ARV_GC_PROPERTY_NODE(child);
    }
    return nullptr;
}

GenApi::IEnumEntry *EnumerationNode::GetCurrentEntry() {
    Guard guard(Mutex());
    return EntryWithValue(GetIntValue());
}

GenApi::IEnumEntry *EnumerationNode::GetEntryByName(const GenApi::gcstring &symbolic) {
    Guard guard(Mutex());
    for (EnumEntryNode *entry : Entries()) {
        if (entry->GetSymbolic() == symbolic) return entry;
    }
    return nullptr;
}

void EnumerationNode::GetEntries(GenApi::NodeList_t &entries) {
    Guard guard(Mutex());
    entries.clear();
    for (EnumEntryNode *entry : Entries()) entries.push_back(entry);
}

std::vector<EnumEntryNode *> EnumerationNode::Entries() const {
    // The entries are the enumeration element's EnumEntry children; the
    // interpreter's own list runs in reverse.
    std::vector<EnumEntryNode *> entries;
    for (ArvDomNode *child = arv_dom_node_get_first_child(ARV_DOM_NODE(node_)); child;
         child = arv_dom_node_get_next_sibling(child)) {
        if (ARV_IS_GC_ENUM_ENTRY(child)) entries.push_back(&dynamic_cast<EnumEntryNode &>(map_.NodeFor(ARV_GC_NODE(child))));
    }
    return entries;
}

// Runs on every read of the current entry. An entry's value is a constant of
// the description, so the values are read once; only an entry whose value
// hangs on another node is asked every time.
EnumEntryNode *EnumerationNode::EntryWithValue(int64_t value) {
    if (!entryValues_) entryValues_ = ConstantEntryValues();
    if (entryValues_->empty()) return EntryAskedForValue(value);
    for (const auto &[entryValue, entry] : *entryValues_)
        if (entryValue == value) return entry;
    return nullptr;
}

std::vector<std::pair<int64_t, EnumEntryNode *>> EnumerationNode::ConstantEntryValues() const {
    std::vector<std::pair<int64_t, EnumEntryNode *>> values;
    for (ArvDomNode *child = arv_dom_node_get_first_child(ARV_DOM_NODE(node_)); child;
         child = arv_dom_node_get_next_sibling(child)) {
        if (!ARV_IS_GC_ENUM_ENTRY(child)) continue;
        if (HasValueReference(child)) return {};
        // The map makes an EnumEntryNode of every entry, so the node needs no run-time check.
        values.emplace_back(Checked(arv_gc_enum_entry_get_value, ARV_GC_ENUM_ENTRY(child)),
                            &static_cast<EnumEntryNode &>(map_.NodeFor(ARV_GC_NODE(child))));
    }
    return values;
}

bool EnumerationNode::HasValueReference(ArvDomNode *entry) {
    for (ArvDomNode *child = arv_dom_node_get_first_child(entry); child; child = arv_dom_node_get_next_sibling(child))
        if (ARV_IS_GC_PROPERTY_NODE(child) &&
            arv_gc_property_node_get_node_type(ARV_GC_PROPERTY_NODE(child)) == ARV_GC_PROPERTY_NODE_TYPE_P_VALUE)
            return true;
    return false;
}

EnumEntryNode *EnumerationNode::EntryAskedForValue(int64_t value) {
    for (ArvDomNode *child = arv_dom_node_get_first_child(ARV_DOM_NODE(node_)); child;
         child = arv_dom_node_get_next_sibling(child)) {
        if (ARV_IS_GC_ENUM_ENTRY(child) && Checked(arv_gc_enum_entry_get_value, ARV_GC_ENUM_ENTRY(child)) == value)
            return &static_cast<EnumEntryNode &>(map_.NodeFor(ARV_GC_NODE(child)));
    }
    return nullptr;
}

bool EnumerationNode::IsSelector() {
    Guard guard(Mutex());
    return arv_gc_selector_is_selector(ARV_GC_SELECTOR(node_));
}

void EnumerationNode::GetSelectedFeatures(GenApi::FeatureList_t &features) { CollectSelected(features); }

int64_t EnumEntryNode::GetValue() { return Query(arv_gc_enum_entry_get_value, ARV_GC_ENUM_ENTRY(node_)); }

}  // namespace vexo::genicam::genapi
