// A list of names (a signal's receivers, a message's senders), each name
// ended by a NUL. Names of up to 16 bytes in all, NULs included, are kept in
// place: a list of a few short names needs no allocation of its own. Longer
// lists go to the heap with where each name starts.
#pragma once

#include <cstdint>
#include <cstring>
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
    NameList(const NameList& other) { copyFrom(other); }
    NameList(NameList&& other) noexcept { takeFrom(other); }
    NameList& operator=(const NameList& other) {
        if (this != &other) {
            NameList copy(other);
            release();
            takeFrom(copy);
        }
        return *this;
    }
    NameList& operator=(NameList&& other) noexcept {
        if (this != &other) {
            release();
            takeFrom(other);
        }
        return *this;
    }
    ~NameList() { release(); }

    void add(std::string_view name) {
        if (!spilled() && used_ + name.size() + 1 <= kInPlace) {
            std::memcpy(inPlace_ + used_, name.data(), name.size());
            inPlace_[used_ + name.size()] = '\0';
            used_ += static_cast<uint32_t>(name.size() + 1);
            ++count_;
            return;
        }
        if (!spilled()) spill();
        spilled_->starts.push_back(static_cast<uint32_t>(spilled_->names.size()));
        spilled_->names.append(name);
        spilled_->names.push_back('\0');
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
        if (spilled()) return spilled_->names.c_str() + spilled_->starts[index];
        const char* name = inPlace_;
        for (; index > 0; --index) name += std::char_traits<char>::length(name) + 1;
        return name;
    }

private:
    static constexpr uint32_t kInPlace = 16;
    static constexpr uint32_t kSpilled = UINT32_MAX;  // used_ of a list on the heap

    struct Spilled {
        std::string names;
        std::vector<uint32_t> starts;
    };

    bool spilled() const noexcept { return used_ == kSpilled; }
    void spill() {
        auto moved = std::make_unique<Spilled>();
        for (size_t i = 0; i < count_; ++i) {
            moved->starts.push_back(static_cast<uint32_t>(moved->names.size()));
            moved->names.append((*this)[i]);
            moved->names.push_back('\0');
        }
        spilled_ = moved.release();
        used_ = kSpilled;
    }
    void release() noexcept {
        if (spilled()) delete spilled_;
        used_ = 0;
        count_ = 0;
    }
    // Leaves other empty.
    void takeFrom(NameList& other) noexcept {
        std::memcpy(inPlace_, other.inPlace_, kInPlace);
        used_ = other.used_;
        count_ = other.count_;
        other.used_ = 0;
        other.count_ = 0;
    }
    void copyFrom(const NameList& other) {
        if (other.spilled()) {
            spilled_ = new Spilled(*other.spilled_);
        } else {
            std::memcpy(inPlace_, other.inPlace_, kInPlace);
        }
        used_ = other.used_;
        count_ = other.count_;
    }

    union {
        char inPlace_[kInPlace] = {};
        Spilled* spilled_;
    };
    uint32_t used_ = 0;  // bytes of inPlace_ taken, or kSpilled
    uint32_t count_ = 0;
};

}  // namespace canxlate::db
