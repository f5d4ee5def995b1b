// A list of names (a signal's receivers, a message's senders), each name
// ended by a NUL. Names of up to 14 bytes in all, NULs included, are kept in
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
            used_ = static_cast<uint8_t>(used_ + name.size() + 1);
            ++count_;
            return;
        }
        if (!spilled()) spill();
        Spilled& heap = *spilled();
        heap.starts.push_back(static_cast<uint32_t>(heap.names.size()));
        heap.names.append(name);
        heap.names.push_back('\0');
        setSpilledCount(static_cast<uint32_t>(heap.starts.size()));
    }
    // The same list with every name that rename changes changed; rename
    // takes a std::string& and may assign to it.
    template <typename Rename>
    NameList renamed(Rename&& rename) const {
        NameList out;
        for (size_t i = 0; i < size(); ++i) {
            std::string name = (*this)[i];
            rename(name);
            out.add(name);
        }
        return out;
    }
    // Without a visit to the heap, nor a test that lists of long names would
    // make unforeseeable: every decoded frame's message information asks.
    size_t size() const noexcept {
        if (count_ != kManyNames) [[likely]]
            return count_;
        uint32_t count;
        std::memcpy(&count, inPlace_ + sizeof(Spilled*), sizeof count);
        return count;
    }
    bool empty() const noexcept { return size() == 0; }
    bool contains(std::string_view name) const noexcept {
        for (size_t i = 0; i < size(); ++i)
            if ((*this)[i] == name) return true;
        return false;
    }
    const char* operator[](size_t index) const noexcept {
        if (spilled()) return spilled()->names.c_str() + spilled()->starts[index];
        const char* name = inPlace_;
        for (; index > 0; --index) name += std::char_traits<char>::length(name) + 1;
        return name;
    }

private:
    static constexpr uint32_t kInPlace = 14;
    static constexpr uint8_t kSpilled = 0xFF;    // used_ of a list on the heap
    static constexpr uint8_t kManyNames = 0xFF;  // count_ of a list of more: the count follows the address

    struct Spilled {
        std::string names;
        std::vector<uint32_t> starts;
    };

    // A list on the heap keeps the address in its first bytes, then the count.
    Spilled* spilled() const noexcept {
        if (used_ != kSpilled) return nullptr;
        Spilled* heap;
        std::memcpy(&heap, inPlace_, sizeof heap);
        return heap;
    }
    void spill() {
        auto moved = std::make_unique<Spilled>();
        for (size_t i = 0; i < count_; ++i) {
            moved->starts.push_back(static_cast<uint32_t>(moved->names.size()));
            moved->names.append((*this)[i]);
            moved->names.push_back('\0');
        }
        setSpilled(moved.release());
    }
    void setSpilled(Spilled* heap) noexcept {
        std::memcpy(inPlace_, &heap, sizeof heap);
        used_ = kSpilled;
        setSpilledCount(static_cast<uint32_t>(heap->starts.size()));
    }
    void setSpilledCount(uint32_t count) noexcept {
        std::memcpy(inPlace_ + sizeof(Spilled*), &count, sizeof count);
        count_ = static_cast<uint8_t>(count < kManyNames ? count : kManyNames);
    }
    static_assert(sizeof(Spilled*) + sizeof(uint32_t) <= kInPlace);
    void release() noexcept {
        delete spilled();
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
        if (const Spilled* heap = other.spilled()) {
            setSpilled(new Spilled(*heap));
            return;
        }
        std::memcpy(inPlace_, other.inPlace_, kInPlace);
        used_ = other.used_;
        count_ = other.count_;
    }

    // Sixteen bytes in all: a file may hold millions of lists.
    alignas(8) char inPlace_[kInPlace] = {};
    uint8_t used_ = 0;   // bytes of inPlace_ taken, or kSpilled
    uint8_t count_ = 0;  // names, or kManyNames
};
static_assert(sizeof(NameList) == 16);

}  // namespace canxlate::db
