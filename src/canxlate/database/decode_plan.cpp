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

// Tables of integer fields whose values lie close together (states, gears,
// error codes) get their texts by position: one load on every decoded frame.
// The plan then moves to a block with room for them.
void placeTexts(Message& message) {
    DecodePlan& plan = message.plan;
    uint64_t slots = 0;
    bool anyTable = false;
    for (uint32_t i = 0; i < plan.count; ++i) {
        const FieldCodec& codec = plan.codecs()[i];
        anyTable = anyTable || (codec.flags & kHasValueTable) != 0;
        slots += placedSpan(codec, message.signals[codec.slot].details->values);
    }
    if (!anyTable) return;
    DecodePlan placed;
    placed.allocate(plan.count, true, slots);
    placed.unconditional = plan.unconditional;
    placed.integers = plan.integers;
    placed.fastLength = plan.fastLength;
    std::copy(plan.codecs(), plan.codecs() + plan.count, placed.codecs());
    std::copy(plan.limits(), plan.limits() + plan.count, placed.limits());
    const char** slot = placed.textSlots();
    for (uint32_t i = 0; i < placed.count; ++i) {
        const FieldCodec& codec = placed.codecs()[i];
        const ValueTable& values = message.signals[codec.slot].details->values;
        const uint64_t span = placedSpan(codec, values);
        placed.texts()[i] = FieldTexts{nullptr, 0, 0};
        if (span == 0) continue;
        const auto lowest = static_cast<uint64_t>(values.entries().front().value);
        placed.texts()[i] = FieldTexts{slot, lowest, span};
        for (uint64_t at = 0; at < span; ++at) *slot++ = values.find(static_cast<int64_t>(lowest + at));
    }
    plan = std::move(placed);
}

}  // namespace

DecodePlan::DecodePlan(const DecodePlan& other)
    : count(other.count),
      unconditional(other.unconditional),
      integers(other.integers),
      fastLength(other.fastLength),
      withTexts(other.withTexts) {
    if (!other.block_) return;
    uint64_t slots = 0;
    for (uint32_t i = 0; withTexts && i < count; ++i) slots += other.texts()[i].count;
    const size_t words = wordsFor(count, withTexts, slots);
    block_ = std::make_unique<uint64_t[]>(words);
    std::copy(other.block_.get(), other.block_.get() + words, block_.get());
    // The texts point into this block's slots.
    for (uint32_t i = 0; withTexts && i < count; ++i)
        if (texts()[i].texts != nullptr) texts()[i].texts = textSlots() + (other.texts()[i].texts - other.textSlots());
}

void DecodePlan::allocate(uint32_t codecCount, bool texts, uint64_t textSlots) {
    count = codecCount;
    withTexts = texts;
    block_ = std::make_unique<uint64_t[]>(wordsFor(codecCount, texts, textSlots));
}

void buildDecodePlan(Message& message) {
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
    std::vector<uint32_t> codecOf(message.signals.size(), kOut);
    uint32_t count = 0;
    for (size_t k = 0; k < message.signals.size(); ++k) {
        const uint32_t s = message.decodeAt(k);
        const Signal& signal = message.signals[s];
        if (!signal.decodable || (signal.switchIndex != kNoSwitch && codecOf[signal.switchIndex] == kOut)) continue;
        codecOf[s] = kIn;
        ++count;
    }
    // Made in place: those carried unconditionally first, then the others.
    DecodePlan& plan = message.plan;
    plan.allocate(count, false, 0);
    plan.fastLength = fast ? static_cast<uint8_t>(fastLength) : 0xFF;
    FieldCodec* codecs = plan.codecs();
    uint32_t made = 0;
    for (uint32_t s = 0; s < message.signals.size(); ++s) {
        const Signal& signal = message.signals[s];
        if (codecOf[s] == kIn && signal.switchIndex == kNoSwitch) codecs[made++] = makeCodec(signal, s, fastLength);
    }
    plan.unconditional = made;
    // Integer fields first; the relative order of the rest stays.
    const auto plainInteger = [](const FieldCodec& codec) { return (codec.flags & kKindBits) == kIntegerField; };
    plan.integers = static_cast<uint32_t>(std::stable_partition(codecs, codecs + made, plainInteger) - codecs);
    for (size_t k = 0; k < message.signals.size(); ++k) {
        const uint32_t s = message.decodeAt(k);
        const Signal& signal = message.signals[s];
        if (codecOf[s] == kIn && signal.switchIndex != kNoSwitch) codecs[made++] = makeCodec(signal, s, fastLength);
    }
    for (uint32_t i = 0; i < count; ++i) plan.limits()[i] = limitsOf(message.signals[codecs[i].slot]);
    placeTexts(message);
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
