// Raw value -> text, sorted by value for lookup.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace canxlate::db {

struct ValueText {
    int64_t value;
    std::string text;
};

class ValueTable {
public:
    void assign(std::vector<ValueText> entries) {
        std::stable_sort(entries.begin(), entries.end(),
                         [](const ValueText& a, const ValueText& b) { return a.value < b.value; });
        entries_ = std::move(entries);
        // Values close together (states, gears, error codes) are found by
        // position: one load instead of a search on every decoded frame.
        dense_.clear();
        if (entries_.empty()) return;
        lowest_ = entries_.front().value;
        const uint64_t span = static_cast<uint64_t>(entries_.back().value) - static_cast<uint64_t>(lowest_);
        if (span >= kMostDenseSlots || span >= 4 * entries_.size() + 16) return;
        dense_.assign(span + 1, 0);
        // The first entry of a value wins, as with the search.
        for (size_t i = entries_.size(); i-- > 0;)
            dense_[static_cast<uint64_t>(entries_[i].value) - static_cast<uint64_t>(lowest_)] =
                static_cast<uint32_t>(i + 1);
    }
    const std::vector<ValueText>& entries() const noexcept { return entries_; }
    bool empty() const noexcept { return entries_.empty(); }
    // Null when the value has no text.
    const char* find(int64_t value) const noexcept {
        if (!dense_.empty()) {
            const uint64_t at = static_cast<uint64_t>(value) - static_cast<uint64_t>(lowest_);
            const uint32_t entry = at < dense_.size() ? dense_[at] : 0;
            return entry != 0 ? entries_[entry - 1].text.c_str() : nullptr;
        }
        auto it = std::lower_bound(entries_.begin(), entries_.end(), value,
                                   [](const ValueText& entry, int64_t v) { return entry.value < v; });
        return it != entries_.end() && it->value == value ? it->text.c_str() : nullptr;
    }

private:
    static constexpr uint64_t kMostDenseSlots = 4096;

    std::vector<ValueText> entries_;
    std::vector<uint32_t> dense_;  // by value - lowest_: 1 + the entry's index, 0 for none
    int64_t lowest_ = 0;
};

}  // namespace canxlate::db
