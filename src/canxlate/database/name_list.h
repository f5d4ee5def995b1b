// A list of names (a signal's receivers, a message's senders) kept in one
// string, each name ended by a NUL: a list of a few short names needs no
// allocation of its own. Longer lists also keep where each name starts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace canxlate::db {

class NameList {
public:
    NameList() = default;
    explicit NameList(const std::vector<std::string>& names) {
        for (const std::string& name : names) add(name);
    }
    NameList(const NameList& other) { *this = other; }
    NameList(NameList&&) noexcept = default;
    NameList& operator=(NameList&&) noexcept = default;
    NameList& operator=(const NameList& other) {
        if (this == &other) return *this;
        names_ = other.names_;
        starts_ = other.starts_ ? std::make_unique<std::vector<uint32_t>>(*other.starts_) : nullptr;
        count_ = other.count_;
        return *this;
    }

    void add(std::string_view name) {
        if (count_ == kWalked) {
            auto starts = std::make_unique<std::vector<uint32_t>>();
            for (size_t i = 0; i < count_; ++i) starts->push_back(static_cast<uint32_t>((*this)[i] - names_.c_str()));
            starts_ = std::move(starts);
        }
        if (count_ >= kWalked) starts_->push_back(static_cast<uint32_t>(names_.size()));
        names_.append(name);
        names_.push_back('\0');
        ++count_;
    }
    // The same list with every name that rename changes changed; rename
    // takes a std::string& and may assign to it.
    template <typename Rename>
    NameList renamed(Rename&& rename) const {
        NameList out;
        for (size_t i = 0; i < count_; ++i) {
            std::string name = (*this)[i];
            rename(name);
            out.add(name);
        }
        return out;
    }
    size_t size() const noexcept { return count_; }
    bool empty() const noexcept { return count_ == 0; }
    bool contains(std::string_view name) const noexcept {
        for (size_t i = 0; i < count_; ++i)
            if ((*this)[i] == name) return true;
        return false;
    }
    const char* operator[](size_t index) const noexcept {
        if (starts_) return names_.c_str() + (*starts_)[index];
        const char* name = names_.c_str();
        for (; index > 0; --index) name += std::char_traits<char>::length(name) + 1;
        return name;
    }

private:
    static constexpr size_t kWalked = 8;  // lists up to this long are walked

    std::string names_;
    std::unique_ptr<std::vector<uint32_t>> starts_;
    uint32_t count_ = 0;
};

}  // namespace canxlate::db
