#include "genapi/RegisterCache.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace vexo::genicam::genapi {
namespace {

bool Overlaps(uint64_t begin, uint64_t end, uint64_t address, uint32_t length) {
    return address < end && begin < address + length;
}

// A node and, transitively, every node its value depends on. Without
// recursion: the check bounded the chains, not the stack of this walk.
std::vector<size_t> ValueClosure(const DescriptionFacts &facts, size_t start) {
    std::vector<size_t> closure;
    std::vector<bool> seen(facts.nodes.size(), false);
    std::vector<size_t> pending{start};
    while (!pending.empty()) {
        const size_t node = pending.back();
        pending.pop_back();
        if (seen[node]) continue;
        seen[node] = true;
        closure.push_back(node);
        for (const NodeReference &reference : facts.nodes[node].references)
            if (IsValueReference(reference.element)) pending.push_back(reference.target);
        if (facts.nodes[node].parent && facts.nodes[node].kind == "StructEntry") pending.push_back(*facts.nodes[node].parent);
    }
    return closure;
}

bool HasInvalidator(const NodeFacts &node) {
    return std::any_of(node.references.begin(), node.references.end(),
                       [](const NodeReference &reference) { return reference.element == "pInvalidator"; });
}

}  // namespace

RegisterCache::RegisterCache(const DescriptionFacts &facts) {
    std::vector<std::optional<size_t>> entryOf(facts.nodes.size());
    for (size_t i = 0; i < facts.nodes.size(); ++i) {
        const std::optional<RegisterFacts> &placement = facts.nodes[i].registerFacts;
        if (placement && placement->staticAddress) entryOf[i] = AddEntry(*placement);
    }
    // A register overlapping a volatile one is volatile too.
    std::vector<Entry> volatileEntries;
    std::copy_if(entries_.begin(), entries_.end(), std::back_inserter(volatileEntries),
                 [](const Entry &entry) { return entry.cachable == Cachable::NoCache; });
    for (Entry &entry : entries_)
        for (const Entry &other : volatileEntries)
            if (Overlaps(other.address, other.address + other.length, entry.address, entry.length))
                entry.cachable = Cachable::NoCache;
    // pInvalidator of a node forgets the registers its own value comes from.
    for (size_t i = 0; i < facts.nodes.size(); ++i) {
        if (!HasInvalidator(facts.nodes[i])) continue;
        std::vector<size_t> entries;
        for (size_t node : ValueClosure(facts, i))
            if (entryOf[node]) entries.push_back(*entryOf[node]);
        if (!entries.empty()) WatchInvalidators(facts, i, entries);
    }
}

size_t RegisterCache::AddEntry(const RegisterFacts &facts) {
    const auto key = std::make_pair(*facts.staticAddress, static_cast<uint32_t>(facts.length));
    std::optional<Clock::duration> lifetime;
    if (facts.pollingTimeMs) lifetime = std::chrono::milliseconds(*facts.pollingTimeMs);
    if (auto found = byKey_.find(key); found != byKey_.end()) {
        // Several nodes on one register: the most careful rule of theirs holds.
        Entry &entry = entries_[found->second];
        if (facts.cachable == Cachable::NoCache || entry.cachable == Cachable::NoCache) entry.cachable = Cachable::NoCache;
        else if (facts.cachable == Cachable::WriteAround) entry.cachable = Cachable::WriteAround;
        if (lifetime && (!entry.lifetime || *lifetime < *entry.lifetime)) entry.lifetime = lifetime;
        return found->second;
    }
    Entry entry;
    entry.address = key.first;
    entry.length = key.second;
    entry.cachable = facts.cachable;
    entry.lifetime = lifetime;
    entries_.push_back(std::move(entry));
    byKey_.emplace(key, entries_.size() - 1);
    return entries_.size() - 1;
}

void RegisterCache::WatchInvalidators(const DescriptionFacts &facts, size_t node, const std::vector<size_t> &entries) {
    for (const NodeReference &reference : facts.nodes[node].references) {
        if (reference.element != "pInvalidator") continue;
        for (size_t source : ValueClosure(facts, reference.target)) {
            const NodeFacts &changed = facts.nodes[source];
            for (size_t entry : entries) {
                if (changed.registerFacts && changed.registerFacts->staticAddress) {
                    const uint64_t begin = *changed.registerFacts->staticAddress;
                    watches_.push_back({begin, begin + static_cast<uint64_t>(changed.registerFacts->length), entry});
                } else if (changed.registerFacts) {
                    // Where that register lies is known only at run time.
                    forgetOnAnyWrite_.push_back(entry);
                } else if (!changed.name.empty()) {
                    forgetOnNode_[changed.name].push_back(entry);
                }
            }
        }
    }
}

RegisterCache::Entry *RegisterCache::Find(uint64_t address, uint32_t length) {
    const auto found = byKey_.find(std::make_pair(address, length));
    return found == byKey_.end() ? nullptr : &entries_[found->second];
}

bool RegisterCache::Read(uint64_t address, uint32_t length, void *buffer) {
    if (bypassed_) return false;
    Entry *entry = Find(address, length);
    if (entry == nullptr || !entry->valid) return false;
    if (entry->lifetime && Clock::now() - entry->stored >= *entry->lifetime) {
        entry->valid = false;
        return false;
    }
    std::memcpy(buffer, entry->bytes.data(), length);
    return true;
}

void RegisterCache::StoreRead(uint64_t address, uint32_t length, const void *buffer) {
    Entry *entry = Find(address, length);
    if (entry == nullptr || entry->cachable == Cachable::NoCache) return;
    const auto *bytes = static_cast<const uint8_t *>(buffer);
    entry->bytes.assign(bytes, bytes + length);
    entry->valid = true;
    if (entry->lifetime) entry->stored = Clock::now();
}

void RegisterCache::StoreWrite(uint64_t address, uint32_t length, const void *buffer) {
    ForgetOverlapping(address, length);
    for (const Watch &watch : watches_)
        if (Overlaps(watch.begin, watch.end, address, length)) entries_[watch.entry].valid = false;
    for (size_t entry : forgetOnAnyWrite_) entries_[entry].valid = false;
    Entry *entry = Find(address, length);
    if (entry != nullptr && entry->cachable == Cachable::WriteThrough) {
        const auto *bytes = static_cast<const uint8_t *>(buffer);
        entry->bytes.assign(bytes, bytes + length);
        entry->valid = true;
        if (entry->lifetime) entry->stored = Clock::now();
    }
}

void RegisterCache::Forget(uint64_t address, uint32_t length) { ForgetOverlapping(address, length); }

void RegisterCache::NodeWritten(const std::string &name) {
    const auto found = forgetOnNode_.find(name);
    if (found == forgetOnNode_.end()) return;
    for (size_t entry : found->second) entries_[entry].valid = false;
}

void RegisterCache::Clear() {
    for (Entry &entry : entries_) entry.valid = false;
}

void RegisterCache::ForgetOverlapping(uint64_t address, uint32_t length) {
    for (Entry &entry : entries_)
        if (entry.valid && Overlaps(entry.address, entry.address + entry.length, address, length)) entry.valid = false;
}

}  // namespace vexo::genicam::genapi
