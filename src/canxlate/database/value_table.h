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
    // unsignedOrder: keys are bit patterns of 64-bit fields, ordered as such.
    void assign(std::vector<ValueText> entries, bool unsignedOrder = false) {
        unsignedOrder_ = unsignedOrder;
        reordered_ = false;
        places_ = {};
        const auto byValue = [this](const ValueText& a, const ValueText& b) { return less(a.value, b.value); };
        if (std::is_sorted(entries.begin(), entries.end(), byValue)) {
            // As most files give them: the order given is the table's.
            entries_ = std::move(entries);
        } else {
            std::vector<uint32_t> order(entries.size());
            for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
            std::stable_sort(order.begin(), order.end(),
                             [&](uint32_t a, uint32_t b) { return less(entries[a].value, entries[b].value); });
            entries_.clear();
            entries_.reserve(entries.size());
            reordered_ = true;
            places_.assign(entries.size(), 0);
            for (uint32_t place = 0; place < order.size(); ++place) {
                places_[order[place]] = place;
                entries_.push_back(std::move(entries[order[place]]));
            }
        }
        // Values close together (states, gears, error codes) are found by
        // position: one load instead of a search on every decoded frame. A
        // few are searched as fast.
        if (entries_.size() <= kSearched) return;
        lowest_ = entries_.front().value;
        const uint64_t span = static_cast<uint64_t>(entries_.back().value) - static_cast<uint64_t>(lowest_);
        if (span >= kMostDenseSlots || span >= 4 * entries_.size() + 16) return;
        const size_t first = places_.size();
        places_.resize(first + span + 1, 0);
        uint32_t* dense = places_.data() + first;
        // The first entry of a value wins, as with the search.
        for (size_t i = entries_.size(); i-- > 0;)
            dense[static_cast<uint64_t>(entries_[i].value) - static_cast<uint64_t>(lowest_)] =
                static_cast<uint32_t>(i + 1);
    }
    const std::vector<ValueText>& entries() const noexcept { return entries_; }
    // The i-th entry as the file gave them.
    const ValueText& written(size_t i) const noexcept { return entries_[reordered_ ? places_[i] : i]; }
    bool empty() const noexcept { return entries_.empty(); }
    // Null when the value has no text.
    const char* find(int64_t value) const noexcept {
        const size_t first = reordered_ ? entries_.size() : 0;
        if (places_.size() > first) {
            const uint64_t at = static_cast<uint64_t>(value) - static_cast<uint64_t>(lowest_);
            const uint32_t entry = at < places_.size() - first ? places_[first + at] : 0;
            return entry != 0 ? entries_[entry - 1].text.c_str() : nullptr;
        }
        auto it = std::lower_bound(entries_.begin(), entries_.end(), value,
                                   [this](const ValueText& entry, int64_t v) { return less(entry.value, v); });
        return it != entries_.end() && it->value == value ? it->text.c_str() : nullptr;
    }

private:
    static constexpr uint64_t kMostDenseSlots = 4096;
    static constexpr size_t kSearched = 8;  // entries a table searches rather than places

    bool less(int64_t a, int64_t b) const noexcept {
        return unsignedOrder_ ? static_cast<uint64_t>(a) < static_cast<uint64_t>(b) : a < b;
    }

    std::vector<ValueText> entries_;
    // When reordered_, first the place in entries_ of each entry in the order
    // given; then, for values close together, by value - lowest_: 1 + the
    // entry's index, 0 for none.
    std::vector<uint32_t> places_;
    int64_t lowest_ = 0;
    bool reordered_ = false;
    bool unsignedOrder_ = false;
};

}  // namespace canxlate::db
