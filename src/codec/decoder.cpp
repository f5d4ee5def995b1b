#include "codec/decoder.h"

#include <cmath>

#include "convert/raw_value.h"

namespace canxlate::db {
namespace {

inline RawKind rawKind(ValueType type) noexcept { return static_cast<RawKind>(type); }

inline void decodeSignal(const Signal& signal, const uint8_t* payload, size_t length, bool clamp,
                         cxl_value& value) noexcept {
    uint64_t raw = readField(signal.field, payload, length);
    const auto signShift = static_cast<uint8_t>(64 - signal.length);
    if (signal.type == ValueType::kSigned)
        raw = static_cast<uint64_t>(static_cast<int64_t>(raw << signShift) >> signShift);
    double physical = rawToValue(rawKind(signal.type), signShift, raw) * signal.factor + signal.offset;
    value.clamped = 0;
    if (clamp && !(signal.minimum == 0.0 && signal.maximum == 0.0)) {
        // Minimum first, as the 16-function library does; a NaN passes both.
        if (physical < signal.minimum) {
            physical = signal.minimum;
            value.clamped = 1;
        } else if (physical > signal.maximum) {
            physical = signal.maximum;
            value.clamped = 1;
        }
    }
    value.present = 1;
    value.raw = raw;
    value.physical = physical;
    value.text = signal.values.empty() ? nullptr : valueText(signal, raw);
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
    const Signal* const signals = message.signals.data();
    if (!message.multiplexed) {
        for (size_t i = 0, n = message.signals.size(); i < n; ++i) {
            const Signal& signal = signals[i];
            if (signal.decodable && signal.field.endByte <= length) {
                decodeSignal(signal, payload, length, clamp, values[i]);
            } else {
                markAbsent(values[i]);
            }
        }
        return;
    }
    for (const uint32_t i : message.decodeOrder) {
        const Signal& signal = signals[i];
        bool carried = signal.decodable && signal.field.endByte <= length;
        if (carried && signal.switchIndex != kNoSwitch) {
            const cxl_value& switchValue = values[signal.switchIndex];
            carried = switchValue.present && inRanges(signal.muxRanges, switchValue.raw);
        }
        if (carried) {
            decodeSignal(signal, payload, length, clamp, values[i]);
        } else {
            markAbsent(values[i]);
        }
    }
}

}  // namespace canxlate::db
