// Constant-time lookup of an entry by name; the first entry of a name wins.
// One flat table with linear probing: a message's signals cost one
// allocation, not one per name.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace canxlate::db {

class NameIndex {
public:
    static constexpr uint32_t kAbsent = UINT32_MAX;

    // False (and nothing changes) when the name is already taken. The name's
    // characters must stay where they are while the index lives.
    bool add(std::string_view name, uint32_t index) {
        if (2 * (count_ + 1) > slots_.size()) grow();
        const uint32_t hash = hashOf(name);
        size_t at = hash & (slots_.size() - 1);
        for (; slots_[at].index != kAbsent; at = (at + 1) & (slots_.size() - 1))
            if (slots_[at].hash == hash && slots_[at].name == name) return false;
        slots_[at] = {name, hash, index};
        ++count_;
        return true;
    }
    uint32_t find(std::string_view name) const noexcept {
        if (slots_.empty()) return kAbsent;
        const uint32_t hash = hashOf(name);
        for (size_t at = hash & (slots_.size() - 1); slots_[at].index != kAbsent; at = (at + 1) & (slots_.size() - 1))
            if (slots_[at].hash == hash && slots_[at].name == name) return slots_[at].index;
        return kAbsent;
    }
    void reserve(size_t count) {
        while (2 * count > slots_.size()) grow();
    }

private:
    struct Slot {
        std::string_view name;
        uint32_t hash;
        uint32_t index;  // kAbsent marks an empty slot
    };

    static uint32_t hashOf(std::string_view name) noexcept {
        return static_cast<uint32_t>(std::hash<std::string_view>{}(name));
    }

    // Doubles the table (at least 8 slots), keeping it at most half full.
    void grow() {
        std::vector<Slot> old(slots_.empty() ? 8 : 2 * slots_.size(), Slot{{}, 0, kAbsent});
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
};

}  // namespace canxlate::db
