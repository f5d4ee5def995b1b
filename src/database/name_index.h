// Constant-time lookup of an entry by name; the first entry of a name wins.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace canxlate::db {

class NameIndex {
public:
    static constexpr uint32_t kAbsent = UINT32_MAX;
    // False (and nothing changes) when the name is already taken.
    bool add(std::string_view name, uint32_t index) { return map_.emplace(name, index).second; }
    uint32_t find(std::string_view name) const noexcept {
        auto it = map_.find(name);
        return it == map_.end() ? kAbsent : it->second;
    }
    void reserve(std::size_t count) { map_.reserve(count); }

private:
    // Keys view names owned by the model, which never moves them once indexed.
    std::unordered_map<std::string_view, uint32_t> map_;
};

}  // namespace canxlate::db
