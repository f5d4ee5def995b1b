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
void placeTexts(Message& message) {
    DecodePlan& plan = message.plan;
    plan.texts.clear();
    plan.textSlots.clear();
    uint64_t slots = 0;
    bool anyTable = false;
    for (const FieldCodec& codec : plan.codecs) {
        anyTable = anyTable || (codec.flags & kHasValueTable) != 0;
        slots += placedSpan(codec, message.signals[codec.slot].details->values);
    }
    if (!anyTable) return;
    plan.texts.assign(plan.codecs.size(), FieldTexts{nullptr, 0, 0});
    plan.textSlots.reserve(slots);  // so that the slots stay where texts point
    for (size_t i = 0; i < plan.codecs.size(); ++i) {
        const ValueTable& values = message.signals[plan.codecs[i].slot].details->values;
        const uint64_t span = placedSpan(plan.codecs[i], values);
        if (span == 0) continue;
        const auto lowest = static_cast<uint64_t>(values.entries().front().value);
        plan.texts[i] = FieldTexts{plan.textSlots.data() + plan.textSlots.size(), lowest, span};
        for (uint64_t at = 0; at < span; ++at) plan.textSlots.push_back(values.find(static_cast<int64_t>(lowest + at)));
    }
}

}  // namespace

void buildDecodePlan(Message& message) {
    DecodePlan& plan = message.plan;
    plan.codecs.clear();
    uint32_t fastLength = 8;
    bool fast = true;
    size_t decodable = 0;
    for (const Signal& signal : message.signals) {
        if (!signal.decodable) continue;
        ++decodable;
        fastLength = std::max<uint32_t>(fastLength, signal.field.endByte);
        // A field spread over nine bytes needs the byte-wise reader.
        fast = fast && signal.field.shift + signal.length <= 64;
    }
    plan.fastLength = fast ? static_cast<uint8_t>(fastLength) : 0xFF;
    plan.codecs.reserve(decodable);  // not twice as much, as growing would
    std::vector<uint32_t> codecOf(message.signals.size(), UINT32_MAX);
    for (Signal& signal : message.signals) signal.muxRanges.joinForLookup();
    for (uint32_t s = 0; s < message.signals.size(); ++s) {
        const Signal& signal = message.signals[s];
        if (!signal.decodable || signal.switchIndex != kNoSwitch) continue;
        codecOf[s] = static_cast<uint32_t>(plan.codecs.size());
        plan.codecs.push_back(makeCodec(signal, s, fastLength));
    }
    plan.unconditional = static_cast<uint32_t>(plan.codecs.size());
    // Integer fields first; the relative order of the rest stays.
    const auto plainInteger = [](const FieldCodec& codec) { return (codec.flags & kKindBits) == kIntegerField; };
    const auto rest = std::stable_partition(plan.codecs.begin(), plan.codecs.end(), plainInteger);
    plan.integers = static_cast<uint32_t>(rest - plan.codecs.begin());
    for (uint32_t i = 0; i < plan.codecs.size(); ++i) codecOf[plan.codecs[i].slot] = i;
    // decodeOrder puts every switch before the signals it switches.
    for (const uint32_t s : message.decodeOrder) {
        const Signal& signal = message.signals[s];
        if (!signal.decodable || signal.switchIndex == kNoSwitch) continue;
        // A switch that cannot be decoded carries nothing.
        if (codecOf[signal.switchIndex] == UINT32_MAX) continue;
        codecOf[s] = static_cast<uint32_t>(plan.codecs.size());
        plan.codecs.push_back(makeCodec(signal, s, fastLength));
    }
    plan.limits.clear();
    plan.limits.reserve(plan.codecs.size());
    for (const FieldCodec& codec : plan.codecs) plan.limits.push_back(limitsOf(message.signals[codec.slot]));
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
