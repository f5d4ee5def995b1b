// The switch values for which a multiplexed signal is carried: almost always
// one range, kept in place; a signal with more keeps them on the heap, with
// the same sorted and joined for lookup.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace canxlate::db {

// Switch values [low, high].
struct MuxRange {
    uint64_t low;
    uint64_t high;
};

class MuxRangeList {
public:
    MuxRangeList() = default;
    MuxRangeList(const MuxRangeList& other) : first_(other.first_), state_(other.state_) {
        if (other.many() != nullptr) state_ = reinterpret_cast<uintptr_t>(new Many(*other.many()));
    }
    MuxRangeList(MuxRangeList&& other) noexcept : first_(other.first_), state_(other.state_) { other.state_ = kNone; }
    MuxRangeList& operator=(const MuxRangeList& other) {
        if (this != &other) *this = MuxRangeList(other);
        return *this;
    }
    MuxRangeList& operator=(MuxRangeList&& other) noexcept {
        if (this != &other) {
            clear();
            first_ = other.first_;
            state_ = other.state_;
            other.state_ = kNone;
        }
        return *this;
    }
    ~MuxRangeList() { clear(); }

    // As given.
    size_t size() const noexcept { return many() != nullptr ? many()->given.size() : state_; }
    bool empty() const noexcept { return size() == 0; }
    const MuxRange* begin() const noexcept { return many() != nullptr ? many()->given.data() : &first_; }
    const MuxRange* end() const noexcept { return begin() + size(); }
    const MuxRange& operator[](size_t index) const noexcept { return begin()[index]; }

    void push_back(MuxRange range) {
        if (state_ == kNone) {
            first_ = range;
            state_ = kOne;
            return;
        }
        if (many() == nullptr) {
            auto made = std::make_unique<Many>(Many{{first_}, {}});
            made->given.reserve(2);
            state_ = reinterpret_cast<uintptr_t>(made.release());
        }
        many()->given.push_back(range);
        many()->joined.clear();  // until joinForLookup
    }
    void clear() noexcept {
        delete many();
        state_ = kNone;
    }

    // The values in increasing order, overlapping and adjoining ranges joined,
    // so that a frame finds its value by binary search; as joinForLookup left
    // them.
    std::span<const MuxRange> carried() const noexcept {
        if (many() != nullptr) return many()->joined;
        return {&first_, first_.low <= first_.high ? static_cast<size_t>(state_) : 0};
    }
    void joinForLookup() {
        if (many() == nullptr) return;
        std::vector<MuxRange> ranges = many()->given;
        std::sort(ranges.begin(), ranges.end(), [](const MuxRange& a, const MuxRange& b) { return a.low < b.low; });
        std::vector<MuxRange>& joined = many()->joined;
        joined.clear();
        for (const MuxRange& range : ranges) {
            if (range.low > range.high) continue;
            if (!joined.empty() && (range.low <= joined.back().high || range.low - 1 == joined.back().high)) {
                joined.back().high = std::max(joined.back().high, range.high);
            } else {
                joined.push_back(range);
            }
        }
    }

private:
    struct Many {
        std::vector<MuxRange> given;
        std::vector<MuxRange> joined;
    };

    // state_ is kNone, kOne (first_ holds the range) or the address of the
    // ranges on the heap.
    static constexpr uintptr_t kNone = 0;
    static constexpr uintptr_t kOne = 1;
    Many* many() const noexcept { return state_ > kOne ? reinterpret_cast<Many*>(state_) : nullptr; }

    MuxRange first_{};
    uintptr_t state_ = kNone;
};

}  // namespace canxlate::db
