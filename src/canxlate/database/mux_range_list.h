// The switch values for which a multiplexed signal is carried: almost always
// one value (m<k>), kept in place in the word that otherwise points to the
// ranges; a signal with a range or more keeps them on the heap, in one block
// with the same sorted and joined for lookup. A file may hold millions of
// signals: the list is one word.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace canxlate::db {

// Switch values [low, high].
struct MuxRange {
    uint64_t low;
    uint64_t high;
};

// The values a frame's switch must have: one value, or ranges in increasing
// order that neither meet nor adjoin.
struct CarriedValues {
    const MuxRange* ranges;  // null for the one value
    uint64_t count;          // of ranges; of a single value, 1 or 0 (none)
    uint64_t value;          // the one value, when ranges is null
};

class MuxRangeList {
public:
    MuxRangeList() = default;
    MuxRangeList(const MuxRangeList& other) : state_(other.state_) {
        if (const MuxRange* block = other.block()) {
            const size_t slots = 1 + capacityOf(block) + joinedOf(block);
            MuxRange* copy = new MuxRange[slots];
            std::copy(block, block + slots, copy);
            state_ = wordOf(copy);
        }
    }
    MuxRangeList(MuxRangeList&& other) noexcept : state_(other.state_) { other.state_ = kNone; }
    MuxRangeList& operator=(const MuxRangeList& other) {
        if (this != &other) *this = MuxRangeList(other);
        return *this;
    }
    MuxRangeList& operator=(MuxRangeList&& other) noexcept {
        if (this != &other) {
            clear();
            state_ = other.state_;
            other.state_ = kNone;
        }
        return *this;
    }
    ~MuxRangeList() { clear(); }

    // As given.
    size_t size() const noexcept {
        if (const MuxRange* block = this->block()) return givenOf(block);
        return state_ == kNone ? 0 : 1;
    }
    bool empty() const noexcept { return state_ == kNone; }
    MuxRange operator[](size_t index) const noexcept {
        if (const MuxRange* block = this->block()) return block[1 + index];
        return {state_ >> 1, state_ >> 1};
    }

    void push_back(MuxRange range) {
        if (state_ == kNone && range.low == range.high && range.low <= kLargestInPlace) {
            state_ = range.low << 1 | kInPlaceTag;
            return;
        }
        MuxRange* block = this->block();
        const size_t given = size();
        if (block == nullptr || givenOf(block) == capacityOf(block)) {
            const size_t capacity = given < 2 ? 2 : 2 * given;
            MuxRange* grown = new MuxRange[1 + capacity];
            for (size_t i = 0; i < given; ++i) grown[1 + i] = (*this)[i];
            delete[] block;
            block = grown;
            state_ = wordOf(block);
            block[0].high = capacity;
        }
        block[1 + given] = range;
        block[0].low = given + 1;  // nothing joined until joinForLookup
        block[0].high = capacityOf(block);
    }
    void clear() noexcept {
        delete[] block();
        state_ = kNone;
    }

    // As joinForLookup left them, so that a frame finds its value by binary
    // search.
    CarriedValues carried() const noexcept {
        if (const MuxRange* block = this->block()) return {block + 1 + capacityOf(block), joinedOf(block), 0};
        return {nullptr, state_ == kNone ? 0u : 1u, state_ >> 1};
    }
    // Sorts the ranges given and joins those that overlap or adjoin; ranges
    // whose low lies above their high carry nothing.
    void joinForLookup() {
        MuxRange* block = this->block();
        if (block == nullptr) return;
        const size_t given = givenOf(block);
        std::vector<MuxRange> ranges(block + 1, block + 1 + given);
        std::sort(ranges.begin(), ranges.end(), [](const MuxRange& a, const MuxRange& b) { return a.low < b.low; });
        std::vector<MuxRange> joined;
        for (const MuxRange& range : ranges) {
            if (range.low > range.high) continue;
            if (!joined.empty() && (range.low <= joined.back().high || range.low - 1 == joined.back().high)) {
                joined.back().high = std::max(joined.back().high, range.high);
            } else {
                joined.push_back(range);
            }
        }
        // The given ranges, then the joined ones, in a block of their size.
        MuxRange* made = new MuxRange[1 + given + joined.size()];
        std::copy(block + 1, block + 1 + given, made + 1);
        std::copy(joined.begin(), joined.end(), made + 1 + given);
        made[0] = {given | uint64_t{joined.size()} << 32, given};
        delete[] block;
        state_ = wordOf(made);
    }

private:
    // state_ is kNone, a value shifted left with kInPlaceTag set, or the
    // address of a block: its first slot counts the ranges given (low 32 bits
    // of low), those joined (high 32 bits of low) and the room for given ones
    // (high); the given ones follow, then the joined ones.
    // The word is 64 bits wide on every platform: a block's address fits it,
    // and so does a value of up to 63 bits.
    static constexpr uint64_t kNone = 0;
    static constexpr uint64_t kInPlaceTag = 1;
    static constexpr uint64_t kLargestInPlace = UINT64_MAX >> 1;

    static uint64_t wordOf(const MuxRange* block) noexcept { return reinterpret_cast<uintptr_t>(block); }
    MuxRange* block() const noexcept {
        return state_ != kNone && (state_ & kInPlaceTag) == 0
                   ? reinterpret_cast<MuxRange*>(static_cast<uintptr_t>(state_))
                   : nullptr;
    }
    static size_t givenOf(const MuxRange* block) noexcept { return block[0].low & UINT32_MAX; }
    static size_t joinedOf(const MuxRange* block) noexcept { return block[0].low >> 32; }
    static size_t capacityOf(const MuxRange* block) noexcept { return block[0].high; }

    uint64_t state_ = kNone;
};

}  // namespace canxlate::db
