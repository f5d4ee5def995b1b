// From message ID to the position of the message in the catalog, in a flat
// open-addressing table: one multiply and usually one probe per frame.
#pragma once

#include <cstdint>
#include <vector>

namespace canxlate::cli {

class MessageLookup {
public:
    static constexpr int32_t kNotFound = -1;

    MessageLookup() = default;
    // ids[i] maps to i; the IDs must be distinct.
    explicit MessageLookup(const std::vector<uint32_t>& ids);

    int32_t find(uint32_t id) const {
        if (slots_.empty()) return kNotFound;
        for (uint32_t slot = hash(id);; slot = (slot + 1) & mask_) {
            const Slot& entry = slots_[slot];
            if (entry.index == kNotFound || entry.id == id) return entry.index;
        }
    }

private:
    struct Slot {
        uint32_t id = 0;
        int32_t index = kNotFound;
    };

    uint32_t hash(uint32_t id) const { return static_cast<uint32_t>((id * 0x9E3779B97F4A7C15ull) >> shift_) & mask_; }

    std::vector<Slot> slots_;  // at most half full, so a search always meets an empty slot
    uint32_t mask_ = 0;
    unsigned shift_ = 0;
};

}  // namespace canxlate::cli
