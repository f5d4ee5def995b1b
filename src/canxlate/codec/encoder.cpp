#include "canxlate/codec/encoder.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <vector>

#include "canxlate/database/decode_plan.h"
#include "shared/payload/raw_value.h"

namespace canxlate::db {
namespace {

constexpr int32_t kNotGiven = -1;

// Fields of 54 to 64 bits: their limits are not all doubles, so the
// saturation compares against powers of two instead.
uint64_t wideIntegerField(const Signal& signal, double scaled) noexcept {
    const double rounded = scaled < 0.0 ? scaled - 0.5 : scaled + 0.5;
    const int bits = static_cast<int>(signal.length);
    if (signal.type == ValueType::kSigned) {
        const double limit = std::ldexp(1.0, bits - 1);
        int64_t value;
        if (rounded >= limit) {
            value = static_cast<int64_t>(signal.field.mask() >> 1);
        } else if (!(rounded >= -limit)) {
            value = -static_cast<int64_t>(signal.field.mask() >> 1) - 1;
        } else {
            value = static_cast<int64_t>(rounded);
        }
        return static_cast<uint64_t>(value) & signal.field.mask();
    }
    if (rounded >= std::ldexp(1.0, bits)) return signal.field.mask();
    if (!(rounded >= 1.0)) return 0;
    return static_cast<uint64_t>(rounded);
}

void reportProblem(EncodeReport* report, const Signal* signal, const char* format, const char* name, double value = 0.0,
                   double low = 0.0, double high = 0.0) {
    if (report == nullptr) return;
    report->signal = signal;
    std::snprintf(report->text, sizeof report->text, format, name, value, low, high);
}

}  // namespace

uint64_t fieldFromPhysical(const Signal& signal, double physical) noexcept {
    const double scaled = (physical - signal.offset) / signal.factor;
    switch (signal.type) {
        case ValueType::kSingle: return std::bit_cast<uint32_t>(roundToSingle(scaled));
        case ValueType::kDouble: return std::bit_cast<uint64_t>(scaled);
        case ValueType::kSigned:
            if (signal.length <= 53) {
                const double limit = std::ldexp(1.0, static_cast<int>(signal.length) - 1);
                return roundedIntegerField(scaled, -limit, limit - 1.0, signal.field.mask());
            }
            break;
        case ValueType::kUnsigned:
            if (signal.length <= 53) {
                return roundedIntegerField(scaled, 0.0, std::ldexp(1.0, static_cast<int>(signal.length)) - 1.0,
                                           signal.field.mask());
            }
            break;
    }
    return wideIntegerField(signal, scaled);
}

namespace {

// Where each given value goes: given[i] is the value's index for signal i, or kNotGiven. False (with the report
// written) for a name the message does not have.
template <typename NameOf>
EncodeStatus findGiven(const Message& message, size_t count, NameOf nameOf, std::vector<int32_t>& given,
                       EncodeReport* report) {
    given.assign(message.signals.size(), kNotGiven);
    for (size_t v = 0; v < count; ++v) {
        const char* name = nameOf(v) != nullptr ? nameOf(v) : "";
        const uint32_t index = message.findSignal(name);
        if (index == NameIndex::kAbsent) {
            reportProblem(report, nullptr, "message has no signal '%s'", name);
            return EncodeStatus::kNotFound;
        }
        given[index] = static_cast<int32_t>(v);
    }
    return EncodeStatus::kOk;
}

// The branch walk both entries share: rawOf(signal, value index, raw) gives the field bits of a given value or a
// failing status. Nothing is written unless every carried signal is good.
template <typename RawOf>
EncodeStatus writeCarried(const Message& message, const std::vector<int32_t>& given, EncodeFlags flags,
                          uint8_t* payload, size_t length, EncodeReport* report, RawOf rawOf) {
    if (length < message.length || length > kMaxPayloadBytes) {
        reportProblem(report, nullptr, "message '%s' needs a payload of its length, at most 64 bytes",
                      message.name.c_str());
        return EncodeStatus::kLength;
    }
    const size_t signalCount = message.signals.size();
    std::vector<uint64_t> raw(signalCount, 0);
    std::vector<uint8_t> carried(signalCount, 0);
    for (size_t k = 0; k < signalCount; ++k) {
        const uint32_t i = message.decodeAt(k);
        const Signal& signal = message.signals[i];
        const char* name = signal.name.c_str();
        bool isCarried = signal.decodable && signal.field.endByte <= length;
        if (isCarried && signal.switchIndex != kNoSwitch)
            isCarried = carried[signal.switchIndex] && inRanges(signal.muxRanges.carried(), raw[signal.switchIndex]);
        if (!isCarried) {
            if (given[i] != kNotGiven) {
                reportProblem(report, &signal,
                              signal.decodable ? "signal '%s' is not carried by the frame as its switch is set"
                                               : "signal '%s' cannot be encoded as the file defines it",
                              name);
                return EncodeStatus::kNotCarried;
            }
            continue;
        }
        carried[i] = 1;
        if (given[i] == kNotGiven) {
            if (!flags.keepMissing) {
                reportProblem(report, &signal, "signal '%s' is carried by the frame but has no value", name);
                return EncodeStatus::kMissing;
            }
            raw[i] = readField(signal.field, payload, length);
            continue;
        }
        const EncodeStatus status = rawOf(signal, static_cast<size_t>(given[i]), raw[i]);
        if (status != EncodeStatus::kOk) return status;
    }
    for (size_t i = 0; i < signalCount; ++i)
        if (carried[i]) writeField(message.signals[i].field, raw[i], payload);
    return EncodeStatus::kOk;
}

// Whether raw (int64_t for signed signals) fits the signal's field.
bool fitsField(const Signal& signal, uint64_t raw) noexcept {
    if (signal.type != ValueType::kSigned) return (raw & ~signal.field.mask()) == 0;
    const auto value = static_cast<int64_t>(raw);
    const uint64_t half = signal.field.mask() >> 1;  // the largest value
    return value >= 0 ? static_cast<uint64_t>(value) <= half : ~static_cast<uint64_t>(value) <= half;
}

// Both entries: the given values found by name (values[v].name), then the branch walk with rawOf.
template <typename Value, typename RawOf>
EncodeStatus encodeGiven(const Message& message, Value* values, size_t count, EncodeFlags flags, uint8_t* payload,
                         size_t length, EncodeReport* report, RawOf rawOf) {
    if (report != nullptr) *report = EncodeReport{nullptr, {}};
    std::vector<int32_t> given;
    const EncodeStatus found = findGiven(
        message, count, [&](size_t v) { return values[v].name; }, given, report);
    if (found != EncodeStatus::kOk) return found;
    return writeCarried(message, given, flags, payload, length, report, rawOf);
}

}  // namespace

EncodeStatus encodeMessage(const Message& message, NamedValue* values, size_t count, EncodeFlags flags,
                           uint8_t* payload, size_t length, EncodeReport* report) {
    for (size_t v = 0; v < count; ++v) values[v].clamped = 0;
    return encodeGiven(
        message, values, count, flags, payload, length, report, [&](const Signal& signal, size_t v, uint64_t& raw) {
            NamedValue& entry = values[v];
            double value = entry.value;
            if (!(signal.minimum == 0.0 && signal.maximum == 0.0) &&
                (value < signal.minimum || value > signal.maximum || std::isnan(value))) {
                if (!flags.clamp) {
                    reportProblem(report, &signal, "signal '%s': value %.17g is outside its range [%.17g, %.17g]",
                                  signal.name.c_str(), value, signal.minimum, signal.maximum);
                    return EncodeStatus::kOutOfRange;
                }
                if (value > signal.maximum) value = signal.maximum;
                if (value < signal.minimum) value = signal.minimum;
                entry.clamped = 1;
            }
            if (signal.type == ValueType::kSingle && std::isfinite(value) &&
                !std::isfinite(roundToSingle((value - signal.offset) / signal.factor))) {
                reportProblem(report, &signal, "signal '%s': value %.17g does not fit a float32", signal.name.c_str(),
                              value);
                return EncodeStatus::kOutOfRange;
            }
            raw = fieldFromPhysical(signal, value);
            return EncodeStatus::kOk;
        });
}

EncodeStatus encodeMessageRaw(const Message& message, const RawValue* values, size_t count, EncodeFlags flags,
                              uint8_t* payload, size_t length, EncodeReport* report) {
    return encodeGiven(message, values, count, flags, payload, length, report,
                       [&](const Signal& signal, size_t v, uint64_t& raw) {
                           raw = values[v].raw;
                           if (!fitsField(signal, raw)) {
                               reportProblem(report, &signal, "signal '%s': the raw value does not fit its field",
                                             signal.name.c_str());
                               return EncodeStatus::kOutOfRange;
                           }
                           raw &= signal.field.mask();
                           return EncodeStatus::kOk;
                       });
}

}  // namespace canxlate::db
