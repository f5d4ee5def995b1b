// Signals that a frame may carry together must not share bits.
//
// The switches make a tree: each signal hangs below its switch, or below the
// message. Two signals in different branches of a switch are carried together
// only when the values that select the branches meet; a signal is carried
// with everything below it. So each switch's branches are swept once in the
// order of their switch values, keeping a count per payload bit of the
// branches whose values are still open: a branch that opens on a counted bit
// shares bits with one that may be carried with it. The work grows with the
// signals and their ranges, whatever the depth of the tree.
#include <algorithm>
#include <string>

#include "canxlate/dbc/multiplexing.h"

namespace canxlate::dbc {
namespace {

using db::Signal;

constexpr size_t kWords = db::kMaxPayloadBytes / 8;
constexpr uint32_t kNone = UINT32_MAX;

struct Bits {
    uint64_t words[kWords] = {};

    Bits& operator|=(const Bits& other) noexcept {
        for (size_t w = 0; w < kWords; ++w) words[w] |= other.words[w];
        return *this;
    }
    bool test(uint32_t bit) const noexcept { return (words[bit / 64] >> (bit % 64) & 1) != 0; }
    // Calls f(bit) for each set bit until it returns true; returns that bit or kNone.
    template <typename F>
    uint32_t find(F f) const {
        for (uint32_t w = 0; w < kWords; ++w)
            for (uint64_t word = words[w]; word != 0; word &= word - 1) {
                const uint32_t bit = 64 * w + static_cast<uint32_t>(__builtin_ctzll(word));
                if (f(bit)) return bit;
            }
        return kNone;
    }
};

// The payload bits of the field, byte by byte as writeField lays them out:
// from the anchor byte up (little-endian) or down (big-endian).
Bits fieldBits(const Signal& signal) {
    Bits bits;
    if (!signal.decodable) return bits;
    const db::BitField& field = signal.field;
    uint32_t remaining = field.length;
    uint32_t shift = field.shift;
    for (int32_t byte = field.anchor; remaining > 0; byte += field.bigEndian ? -1 : 1) {
        const uint32_t count = remaining < 8 - shift ? remaining : 8 - shift;
        const uint64_t mask = ((uint64_t{1} << count) - 1) << shift;
        bits.words[byte / 8] |= mask << (8 * (byte % 8));
        remaining -= count;
        shift = 0;
    }
    return bits;
}

// One range of a branch's switch values, opened at its low and closed
// after its high: the range-th of the signal's carried ranges, or all
// values (kNone) for a signal of the message itself.
struct Interval {
    uint32_t branch;  // the signal at the top of the branch
    uint32_t range;
};

class OverlapCheck {
public:
    OverlapCheck(const db::Message& message, const SignalPositions& positions, DiagnosticSink& sink)
        : message_(message),
          positions_(positions),
          sink_(sink),
          count_(static_cast<uint32_t>(message.signals.size())) {}

    void run() {
        if (!message_.multiplexed) return checkPlain();
        buildTree();
        collectBranchBits();
        for (uint32_t node = 0; node <= count_; ++node)
            if (firstChild_[node] != firstChild_[node + 1]) sweep(node);
    }

private:
    // All signals are carried together: each one's bits against those before it.
    void checkPlain() {
        Bits before;
        for (uint32_t i = 0; i < count_; ++i) {
            const Bits bits = fieldBits(message_.signals[i]);
            const uint32_t shared = bits.find([&](uint32_t bit) { return before.test(bit); });
            if (shared != kNone && maySearch()) {
                uint32_t other = 0;
                while (!fieldBits(message_.signals[other]).test(shared)) ++other;
                report(i, other);
            }
            before |= bits;
        }
    }

    // Children lists, the message (index count_) as the root.
    void buildTree() {
        firstChild_.assign(count_ + 2, 0);
        for (const Signal& signal : message_.signals) ++firstChild_[parentOf(signal) + 1];
        for (uint32_t node = 0; node <= count_; ++node) firstChild_[node + 1] += firstChild_[node];
        children_.resize(count_);
        std::vector<uint32_t> next(firstChild_.begin(), firstChild_.end() - 1);
        for (uint32_t i = 0; i < count_; ++i) children_[next[parentOf(message_.signals[i])]++] = i;
    }

    uint32_t parentOf(const Signal& signal) const noexcept {
        return signal.switchIndex == db::kNoSwitch ? count_ : signal.switchIndex;
    }
    bool hasChildren(uint32_t node) const noexcept { return firstChild_[node] != firstChild_[node + 1]; }

    // The bits of each switch's whole branch, children before their switch
    // (the reverse of the decode order).
    void collectBranchBits() {
        slot_.assign(count_, kNone);
        size_t switches = 0;
        for (uint32_t i = 0; i < count_; ++i) switches += hasChildren(i) ? 1 : 0;
        switchBits_.reserve(switches);
        for (uint32_t i = 0; i < count_; ++i) {
            if (!hasChildren(i)) continue;
            slot_[i] = static_cast<uint32_t>(switchBits_.size());
            switchBits_.emplace_back();
        }
        for (size_t k = count_; k-- > 0;) {
            const uint32_t at = message_.decodeAt(k);
            const Signal& signal = message_.signals[at];
            if (signal.switchIndex == db::kNoSwitch) continue;
            switchBits_[slot_[signal.switchIndex]] |= branchBits(at);
        }
    }

    Bits branchBits(uint32_t node) const {
        Bits bits = fieldBits(message_.signals[node]);
        if (slot_[node] != kNone) bits |= switchBits_[slot_[node]];
        return bits;
    }

    void sweep(uint32_t node) {
        // Room for them all at once: a switch may have as many branches as the file has lines.
        size_t most = 0;
        for (uint32_t k = firstChild_[node]; k < firstChild_[node + 1]; ++k)
            most += std::max<size_t>(1, message_.signals[children_[k]].muxRanges.size());
        std::vector<Interval> intervals;
        intervals.reserve(most);
        for (uint32_t k = firstChild_[node]; k < firstChild_[node + 1]; ++k) addIntervals(children_[k], intervals);
        // By value, then in the order the children come (each child's own
        // ranges never share a low).
        std::sort(intervals.begin(), intervals.end(), [this](const Interval& a, const Interval& b) {
            const uint64_t lowA = lowOf(a);
            const uint64_t lowB = lowOf(b);
            return lowA < lowB || (lowA == lowB && a.branch < b.branch);
        });
        uint32_t counts[8 * db::kMaxPayloadBytes] = {};
        // The open branches, a heap whose top closes first.
        std::vector<Interval> open;
        auto closesLater = [this](const Interval& a, const Interval& b) { return highOf(a) > highOf(b); };
        Bits all;
        for (const Interval& interval : intervals) {
            while (!open.empty() && highOf(open.front()) < lowOf(interval)) {
                branchBits(open.front().branch).find([&](uint32_t bit) { return --counts[bit], false; });
                std::pop_heap(open.begin(), open.end(), closesLater);
                open.pop_back();
            }
            const Bits mine = branchBits(interval.branch);
            const uint32_t shared = mine.find([&](uint32_t bit) { return counts[bit] > 0; });
            if (shared != kNone) reportBranches(interval.branch, open, shared);
            mine.find([&](uint32_t bit) { return ++counts[bit], false; });
            open.push_back(interval);
            std::push_heap(open.begin(), open.end(), closesLater);
            all |= mine;
        }
        if (node == count_) return;
        // A switch is carried with all that it switches.
        const Bits own = fieldBits(message_.signals[node]);
        const uint32_t shared = own.find([&](uint32_t bit) { return all.test(bit); });
        if (shared != kNone && maySearch()) {
            for (uint32_t k = firstChild_[node]; k < firstChild_[node + 1]; ++k) {
                const uint32_t other = signalWithBit(children_[k], shared);
                if (other != kNone) return report(node, other);
            }
        }
    }

    // The child's carried ranges, sorted and joined so that its own never
    // meet; children of the message are always carried.
    void addIntervals(uint32_t child, std::vector<Interval>& intervals) const {
        const Signal& signal = message_.signals[child];
        if (signal.switchIndex == db::kNoSwitch) {
            intervals.push_back({child, kNone});
            return;
        }
        const db::CarriedValues carried = signal.muxRanges.carried();
        for (uint32_t r = 0; r < carried.count; ++r) intervals.push_back({child, r});
    }
    uint64_t lowOf(const Interval& interval) const noexcept {
        if (interval.range == kNone) return 0;
        const db::CarriedValues carried = message_.signals[interval.branch].muxRanges.carried();
        return carried.ranges == nullptr ? carried.value : carried.ranges[interval.range].low;
    }
    uint64_t highOf(const Interval& interval) const noexcept {
        if (interval.range == kNone) return UINT64_MAX;
        const db::CarriedValues carried = message_.signals[interval.branch].muxRanges.carried();
        return carried.ranges == nullptr ? carried.value : carried.ranges[interval.range].high;
    }

    // Finding the two signals walks the branches: a message's searches are
    // limited as its diagnostics are.
    bool maySearch() noexcept { return !sink_.full() && ++searches_ <= DiagnosticSink::kLimit; }

    void reportBranches(uint32_t branch, const std::vector<Interval>& open, uint32_t bit) {
        if (!maySearch()) return;
        const uint32_t mine = signalWithBit(branch, bit);
        for (const Interval& other : open) {
            const uint32_t signal = other.branch == branch ? kNone : signalWithBit(other.branch, bit);
            if (signal != kNone) return report(mine, signal);
        }
    }

    // A signal of the branch below node (node included) that holds bit.
    uint32_t signalWithBit(uint32_t node, uint32_t bit) const {
        std::vector<uint32_t> stack{node};
        while (!stack.empty()) {
            const uint32_t at = stack.back();
            stack.pop_back();
            if (fieldBits(message_.signals[at]).test(bit)) return at;
            if (slot_[at] == kNone || !switchBits_[slot_[at]].test(bit)) continue;
            for (uint32_t k = firstChild_[at]; k < firstChild_[at + 1]; ++k) stack.push_back(children_[k]);
        }
        return kNone;
    }

    // Reported at the later of the two, once per signal.
    void report(uint32_t a, uint32_t b) {
        const uint32_t later = std::max(a, b);
        const uint32_t earlier = std::min(a, b);
        if (reported_.empty()) reported_.assign(count_, false);
        if (reported_[later]) return;
        reported_[later] = true;
        sink_.warning(db::Topic::kOverlap, positions_[later],
                      "signal '" + message_.signals[later].name + "' shares bits with signal '" +
                          message_.signals[earlier].name + "' in message '" + message_.name + "'");
    }

    const db::Message& message_;
    const SignalPositions& positions_;
    DiagnosticSink& sink_;
    const uint32_t count_;
    std::vector<uint32_t> firstChild_;  // node's children: children_[firstChild_[node] .. firstChild_[node + 1])
    std::vector<uint32_t> children_;
    std::vector<uint32_t> slot_;  // index into switchBits_, for switches
    std::vector<Bits> switchBits_;
    std::vector<bool> reported_;
    size_t searches_ = 0;
};

}  // namespace

bool sharesBits(const db::Message& message) {
    Bits before;
    for (const Signal& signal : message.signals) {
        const Bits bits = fieldBits(signal);
        if (bits.find([&](uint32_t bit) { return before.test(bit); }) != kNone) return true;
        before |= bits;
    }
    return false;
}

void checkOverlaps(const db::Message& message, const SignalPositions& positions, DiagnosticSink& sink) {
    if (message.signals.size() < 2) return;
    OverlapCheck(message, positions, sink).run();
}

}  // namespace canxlate::dbc
