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
    }
    const std::vector<ValueText>& entries() const noexcept { return entries_; }
    bool empty() const noexcept { return entries_.empty(); }
    // Null when the value has no text.
    const char* find(int64_t value) const noexcept {
        auto it = std::lower_bound(entries_.begin(), entries_.end(), value,
                                   [](const ValueText& entry, int64_t v) { return entry.value < v; });
        return it != entries_.end() && it->value == value ? it->text.c_str() : nullptr;
    }

private:
    std::vector<ValueText> entries_;
};

}  // namespace canxlate::db
