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
    MuxRangeList(const MuxRangeList& other)
        : first_(other.first_),
          many_(other.many_ ? std::make_unique<Many>(*other.many_) : nullptr),
          count_(other.count_) {}
    MuxRangeList(MuxRangeList&&) noexcept = default;
    MuxRangeList& operator=(const MuxRangeList& other) {
        if (this != &other) *this = MuxRangeList(other);
        return *this;
    }
    MuxRangeList& operator=(MuxRangeList&&) noexcept = default;

    // As given.
    size_t size() const noexcept { return many_ ? many_->given.size() : count_; }
    bool empty() const noexcept { return size() == 0; }
    const MuxRange* begin() const noexcept { return many_ ? many_->given.data() : &first_; }
    const MuxRange* end() const noexcept { return begin() + size(); }
    const MuxRange& operator[](size_t index) const noexcept { return begin()[index]; }

    void push_back(MuxRange range) {
        if (!many_ && count_ == 0) {
            first_ = range;
            count_ = 1;
            return;
        }
        if (!many_) many_ = std::make_unique<Many>(Many{{first_}, {}});
        many_->given.push_back(range);
        many_->joined.clear();  // until joinForLookup
    }
    void clear() noexcept {
        many_.reset();
        count_ = 0;
    }

    // The values in increasing order, overlapping and adjoining ranges joined,
    // so that a frame finds its value by binary search; as joinForLookup left
    // them.
    std::span<const MuxRange> carried() const noexcept {
        if (many_) return many_->joined;
        return {&first_, first_.low <= first_.high ? count_ : 0u};
    }
    void joinForLookup() {
        if (!many_) return;
        std::vector<MuxRange> ranges = many_->given;
        std::sort(ranges.begin(), ranges.end(), [](const MuxRange& a, const MuxRange& b) { return a.low < b.low; });
        std::vector<MuxRange>& joined = many_->joined;
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

    MuxRange first_{};
    std::unique_ptr<Many> many_;
    uint32_t count_ = 0;  // of first_, without many_
};

}  // namespace canxlate::db
