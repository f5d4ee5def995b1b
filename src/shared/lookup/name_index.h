// Constant-time lookup of an entry by name; the first entry of a name wins.
// One flat table with linear probing of 8-byte slots that keep the hash and
// the entry's index, not the name: the caller tells an entry's name
// (nameOf(index)), so that a name is stored once, by its owner.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace canxlate {

class NameIndex {
public:
    static constexpr uint32_t kAbsent = UINT32_MAX;

    // False (and nothing changes) when the name is already taken.
    template <typename NameOf>
    bool add(std::string_view name, uint32_t index, NameOf nameOf) {
        if (count_ >= limit_) grow();
        const uint32_t hash = hashOf(name);
        size_t at = hash & (slots_.size() - 1);
        for (; slots_[at].index != kAbsent; at = (at + 1) & (slots_.size() - 1))
            if (slots_[at].hash == hash && nameOf(slots_[at].index) == name) return false;
        slots_[at] = {hash, index};
        ++count_;
        return true;
    }
    template <typename NameOf>
    uint32_t find(std::string_view name, NameOf nameOf) const noexcept {
        if (slots_.empty()) return kAbsent;
        const uint32_t hash = hashOf(name);
        for (size_t at = hash & (slots_.size() - 1); slots_[at].index != kAbsent; at = (at + 1) & (slots_.size() - 1))
            if (slots_[at].hash == hash && nameOf(slots_[at].index) == name) return slots_[at].index;
        return kAbsent;
    }
    // Brings the slot where the name's search begins towards the cache, so
    // that a run of adds waits for memory once rather than once per name.
    void prefetch(std::string_view name) const noexcept {
        if (!slots_.empty()) __builtin_prefetch(&slots_[hashOf(name) & (slots_.size() - 1)]);
    }
    bool empty() const noexcept { return count_ == 0; }
    size_t size() const noexcept { return count_; }
    // Room for count names in one step. A table of a known size may be
    // fuller than one that grows: it is not doubled again once its last name
    // is in.
    void reserve(size_t count) {
        if (count <= limit_) return;
        size_t slots = slots_.empty() ? 4 : slots_.size();
        while (!roomFor(count, slots)) slots *= 2;
        if (slots > slots_.size()) rehash(slots);
        limit_ = std::max(count, slots_.size() / 2);
    }

private:
    struct Slot {
        uint32_t hash;
        uint32_t index;  // kAbsent marks an empty slot
    };

    static uint32_t hashOf(std::string_view name) noexcept {
        return static_cast<uint32_t>(std::hash<std::string_view>{}(name));
    }

    // A table that grows name by name is at most half full. One reserved
    // for a known count is too while small; a large one, whose memory counts
    // (a file of a million names), may be four fifths full: a search then
    // reads a few more slots of the same cache lines.
    static constexpr size_t kSmallSlots = size_t{1} << 16;
    static bool roomFor(size_t count, size_t slots) noexcept {
        return slots <= kSmallSlots ? 2 * count <= slots : 5 * count <= 4 * slots;
    }

    // Doubles the table (at least 4 slots), to be at most half full.
    void grow() {
        rehash(slots_.empty() ? 4 : 2 * slots_.size());
        limit_ = slots_.size() / 2;
    }
    void rehash(size_t slots) {
        std::vector<Slot> old(slots, Slot{0, kAbsent});
        old.swap(slots_);
        for (const Slot& entry : old) {
            if (entry.index == kAbsent) continue;
            size_t at = entry.hash & (slots_.size() - 1);
            while (slots_[at].index != kAbsent) at = (at + 1) & (slots_.size() - 1);
            slots_[at] = entry;
        }
    }

    std::vector<Slot> slots_;
    size_t count_ = 0;
    size_t limit_ = 0;  // names the table takes before it is doubled
};

}  // namespace canxlate
