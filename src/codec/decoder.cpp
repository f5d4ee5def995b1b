#include "codec/decoder.h"

#include <cmath>

#include "convert/raw_value.h"

namespace canxlate::db {
namespace {

inline RawKind rawKind(ValueType type) noexcept { return static_cast<RawKind>(type); }

inline void decodeSignal(const SignalCodec& codec, const uint8_t* payload, size_t length, bool clamp,
                         cxl_value& value) noexcept {
    uint64_t raw = readField(codec.field, payload, length);
    const auto signShift = static_cast<uint8_t>(64 - codec.field.length);
    const auto type = static_cast<ValueType>(codec.type);
    if (type == ValueType::kSigned) raw = static_cast<uint64_t>(static_cast<int64_t>(raw << signShift) >> signShift);
    double physical = rawToValue(rawKind(type), signShift, raw) * codec.factor + codec.offset;
    value.clamped = 0;
    if (clamp && codec.hasLimits) {
        // Minimum first, as the 16-function library does; a NaN passes both.
        if (physical < codec.minimum) {
            physical = codec.minimum;
            value.clamped = 1;
        } else if (physical > codec.maximum) {
            physical = codec.maximum;
            value.clamped = 1;
        }
    }
    value.present = 1;
    value.raw = raw;
    value.physical = physical;
    value.text = codec.hasValues ? valueText(*codec.signal, raw) : nullptr;
}

inline void markAbsent(cxl_value& value) noexcept { value = cxl_value{0, 0, 0, 0.0, nullptr}; }

}  // namespace

bool inRanges(const std::vector<MuxRange>& ranges, uint64_t raw) noexcept {
    for (const MuxRange& range : ranges)
        if (raw >= range.low && raw <= range.high) return true;
    return false;
}

const char* valueText(const Signal& signal, uint64_t raw) noexcept {
    if (signal.type == ValueType::kSingle || signal.type == ValueType::kDouble) {
        const double number = rawToValue(rawKind(signal.type), 0, raw);
        if (!(std::fabs(number) < 0x1p63) || std::trunc(number) != number) return nullptr;
        return signal.values.find(static_cast<int64_t>(number));
    }
    return signal.values.find(static_cast<int64_t>(raw));
}

void decodeMessage(const Message& message, const uint8_t* payload, size_t length, bool clamp,
                   cxl_value* values) noexcept {
    const SignalCodec* const codecs = message.codecs.data();
    if (!message.multiplexed) {
        for (size_t i = 0, n = message.codecs.size(); i < n; ++i) {
            const SignalCodec& codec = codecs[i];
            if (codec.decodable && codec.field.endByte <= length) {
                decodeSignal(codec, payload, length, clamp, values[i]);
            } else {
                markAbsent(values[i]);
            }
        }
        return;
    }
    for (const uint32_t i : message.decodeOrder) {
        const SignalCodec& codec = codecs[i];
        bool carried = codec.decodable && codec.field.endByte <= length;
        if (carried && codec.switchIndex != kNoSwitch) {
            const cxl_value& switchValue = values[codec.switchIndex];
            carried = switchValue.present && inRanges(codec.signal->muxRanges, switchValue.raw);
        }
        if (carried) {
            decodeSignal(codec, payload, length, clamp, values[i]);
        } else {
            markAbsent(values[i]);
        }
    }
}

}  // namespace canxlate::db
