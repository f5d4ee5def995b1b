#include "canxlate/database/decode_plan.h"

#include <algorithm>
#include <limits>

namespace canxlate::db {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr uint64_t kMostTextSlots = 4096;

FieldLimits limitsOf(const Signal& signal) {
    if (signal.minimum == 0.0 && signal.maximum == 0.0) return {-kInfinity, kInfinity};
    return {signal.minimum, signal.maximum};
}

FieldCodec makeCodec(const Signal& signal, uint32_t slot, uint32_t fastLength) {
    FieldCodec codec{};
    codec.factor = signal.factor;
    codec.offset = signal.offset;
    const FieldLimits limits = limitsOf(signal);
    if (limits.minimum > limits.maximum) codec.flags |= kInvertedLimits;
    const BitField& field = signal.field;
    uint32_t shift;  // of the least significant bit in the window
    if (field.bigEndian) {
        // The anchor byte is the window's last: its bits are the word's lowest.
        codec.loadOffset = static_cast<uint8_t>(field.anchor >= 7 ? field.anchor - 7 : 0);
        shift = 8 * (7 - (field.anchor - codec.loadOffset)) + field.shift;
        codec.flags |= kBigEndianWindow;
    } else {
        codec.loadOffset = static_cast<uint8_t>(std::min<uint32_t>(field.anchor, fastLength - 8));
        shift = 8 * (field.anchor - codec.loadOffset) + field.shift;
    }
    codec.leftShift = static_cast<uint8_t>(64 - shift - signal.length);
    codec.rightShift = static_cast<uint8_t>(64 - signal.length);
    codec.mask =
        signal.type == ValueType::kSigned || signal.length == 64 ? ~uint64_t{0} : (uint64_t{1} << signal.length) - 1;
    switch (signal.type) {
        case ValueType::kSigned: codec.flags |= kIntegerField; break;
        case ValueType::kUnsigned: codec.flags |= signal.length == 64 ? kUnsigned64Field : kIntegerField; break;
        case ValueType::kSingle: codec.flags |= kSingleField; break;
        case ValueType::kDouble: codec.flags |= kDoubleField; break;
    }
    if (!signal.details->values.empty()) codec.flags |= kHasValueTable;
    codec.slot = slot;
    return codec;
}

// The span of raw values a field's table covers by position: 0 when its
// values do not lie close together.
uint64_t placedSpan(const FieldCodec& codec, const ValueTable& values) {
    if ((codec.flags & kHasValueTable) == 0 || (codec.flags & kKindBits) != kIntegerField) return 0;
    const uint64_t span = static_cast<uint64_t>(values.entries().back().value) -
                          static_cast<uint64_t>(values.entries().front().value) + 1;
    return span <= kMostTextSlots && span <= 4 * values.entries().size() + 16 ? span : 0;
}

// Rounded up: a slot may be narrower than a word (32-bit targets).
size_t wordsFor(size_t count, bool limited, bool withTexts, uint64_t textSlots) noexcept {
    const size_t bytes =
        count * (sizeof(FieldCodec) + (limited ? sizeof(FieldLimits) : 0) + (withTexts ? sizeof(FieldTexts) : 0)) +
        textSlots * sizeof(const char*);
    return (bytes + sizeof(uint64_t) - 1) / sizeof(uint64_t);
}

}  // namespace

PlanView buildDecodePlan(Message& message, PlanArena& arena, PlanScratch& scratch) {
    uint32_t fastLength = 8;
    bool fast = true;
    for (const Signal& signal : message.signals) {
        if (!signal.decodable) continue;
        fastLength = std::max<uint32_t>(fastLength, signal.field.endByte);
        // A field spread over nine bytes needs the byte-wise reader.
        fast = fast && signal.field.shift + signal.length <= 64;
    }
    for (Signal& signal : message.signals) signal.muxRanges.joinForLookup();
    // Which signals get a codec: the decodable ones whose switch has one. The
    // decoding order puts every switch before the signals it switches.
    constexpr uint32_t kOut = UINT32_MAX;
    constexpr uint32_t kIn = UINT32_MAX - 1;
    std::vector<uint32_t>& codecOf = scratch.codecOf;
    codecOf.assign(message.signals.size(), kOut);
    for (size_t k = 0; k < message.signals.size(); ++k) {
        const uint32_t s = message.decodeAt(k);
        const Signal& signal = message.signals[s];
        if (!signal.decodable || (signal.switchIndex != kNoSwitch && codecOf[signal.switchIndex] == kOut)) continue;
        codecOf[s] = kIn;
    }
    // Those carried unconditionally first, then the others.
    std::vector<FieldCodec>& codecs = scratch.codecs;
    codecs.clear();
    for (uint32_t s = 0; s < message.signals.size(); ++s) {
        const Signal& signal = message.signals[s];
        if (codecOf[s] == kIn && signal.switchIndex == kNoSwitch) codecs.push_back(makeCodec(signal, s, fastLength));
    }
    const auto unconditional = static_cast<uint32_t>(codecs.size());
    // Integer fields first; the relative order of the rest stays.
    const auto plainInteger = [](const FieldCodec& codec) { return (codec.flags & kKindBits) == kIntegerField; };
    const auto integers =
        static_cast<uint32_t>(std::stable_partition(codecs.begin(), codecs.end(), plainInteger) - codecs.begin());
    for (size_t k = 0; k < message.signals.size(); ++k) {
        const uint32_t s = message.decodeAt(k);
        const Signal& signal = message.signals[s];
        if (codecOf[s] == kIn && signal.switchIndex != kNoSwitch) codecs.push_back(makeCodec(signal, s, fastLength));
    }
    // Tables of integer fields whose values lie close together (states,
    // gears, error codes) get their texts by position: one load on every
    // decoded frame.
    const auto count = static_cast<uint32_t>(codecs.size());
    uint64_t slots = 0;
    bool anyTable = false;
    bool limited = false;
    for (const FieldCodec& codec : codecs) {
        const Signal& signal = message.signals[codec.slot];
        anyTable = anyTable || (codec.flags & kHasValueTable) != 0;
        slots += placedSpan(codec, signal.details->values);
        const FieldLimits limits = limitsOf(signal);
        limited = limited || limits.minimum != -kInfinity || limits.maximum != kInfinity;
    }
    auto* placed = reinterpret_cast<FieldCodec*>(arena.allocate(wordsFor(count, limited, anyTable, slots)));
    std::copy(codecs.begin(), codecs.end(), placed);
    const PlanView plan{&message,
                        placed,
                        count,
                        unconditional,
                        static_cast<uint32_t>(message.signals.size()),
                        std::min(integers, PlanView::kMostIntegers),
                        limited,
                        fast ? fastLength : 0xFFu};
    // As PlanView finds them: the limits after the codecs, then the texts.
    auto* limits = reinterpret_cast<FieldLimits*>(placed + count);
    for (uint32_t i = 0; limited && i < count; ++i) limits[i] = limitsOf(message.signals[placed[i].slot]);
    if (!anyTable) return plan;
    auto* texts = reinterpret_cast<FieldTexts*>(limited ? static_cast<void*>(limits + count) : limits);
    auto** slot = reinterpret_cast<const char**>(texts + count);
    for (uint32_t i = 0; i < count; ++i) {
        const ValueTable& values = message.signals[placed[i].slot].details->values;
        const uint64_t span = placedSpan(placed[i], values);
        texts[i] = FieldTexts{nullptr, 0, 0};
        if (span == 0) continue;
        const auto lowest = static_cast<uint64_t>(values.entries().front().value);
        texts[i] = FieldTexts{slot, lowest, span};
        for (uint64_t at = 0; at < span; ++at) *slot++ = values.find(static_cast<int64_t>(lowest + at));
    }
    return plan;
}

bool inRanges(const CarriedValues& carried, uint64_t raw) noexcept {
    if (carried.ranges == nullptr) return carried.count != 0 && raw == carried.value;
    // The last range starting at or below raw is the only one that can hold it.
    const MuxRange* end = carried.ranges + carried.count;
    auto after = std::upper_bound(carried.ranges, end, raw,
                                  [](uint64_t value, const MuxRange& range) { return value < range.low; });
    return after != carried.ranges && raw <= std::prev(after)->high;
}

}  // namespace canxlate::db
