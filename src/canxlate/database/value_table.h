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
        std::stable_sort(entries.begin(), entries.end(),
                         [this](const ValueText& a, const ValueText& b) { return less(a.value, b.value); });
        entries_ = std::move(entries);
    }
    const std::vector<ValueText>& entries() const noexcept { return entries_; }
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
};

}  // namespace canxlate::db
