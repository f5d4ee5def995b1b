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
        std::vector<uint32_t> order(entries.size());
        for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(),
                         [&](uint32_t a, uint32_t b) { return less(entries[a].value, entries[b].value); });
        entries_.clear();
        entries_.reserve(entries.size());
        written_.assign(entries.size(), 0);
        for (uint32_t place = 0; place < order.size(); ++place) {
            written_[order[place]] = place;
            entries_.push_back(std::move(entries[order[place]]));
        }
    }
    const std::vector<ValueText>& entries() const noexcept { return entries_; }
    // The i-th entry as the file gave them.
    const ValueText& written(size_t i) const noexcept { return entries_[written_[i]]; }
    bool empty() const noexcept { return entries_.empty(); }
    // Null when the value has no text.
    const char* find(int64_t value) const noexcept {
        auto it = std::lower_bound(entries_.begin(), entries_.end(), value,
                                   [this](const ValueText& entry, int64_t v) { return less(entry.value, v); });
        return it != entries_.end() && it->value == value ? it->text.c_str() : nullptr;
    }

private:
    bool less(int64_t a, int64_t b) const noexcept {
        return unsignedOrder_ ? static_cast<uint64_t>(a) < static_cast<uint64_t>(b) : a < b;
    }

    std::vector<ValueText> entries_;
    bool unsignedOrder_ = false;
    std::vector<uint32_t> written_;  // file order -> place in entries_
};

}  // namespace canxlate::db
