// The two ends of a field's conversion that every decoder and encoder shares:
// the field bits read as the number they hold, and a scaled value rounded and
// saturated back into field bits.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace canxlate {

// How a field's bits are read as a number.
enum class RawKind : uint8_t { kSigned, kUnsigned, kSingle, kDouble };

// The number that the field bits stand for: sign-extended from the field's
// width (signShift = 64 - width), unsigned, or an IEEE single or double.
inline double rawToValue(RawKind kind, uint8_t signShift, uint64_t raw) noexcept {
    switch (kind) {
        case RawKind::kSigned: return static_cast<double>(static_cast<int64_t>(raw << signShift) >> signShift);
        case RawKind::kUnsigned: return static_cast<double>(raw);
        case RawKind::kSingle: return static_cast<double>(std::bit_cast<float>(static_cast<uint32_t>(raw)));
        case RawKind::kDouble: break;
    }
    return std::bit_cast<double>(raw);
}

// Rounds half away from zero in double arithmetic and saturates to
// [rawMinimum, rawMaximum]; a NaN gives the minimum. The comparisons run in
// double, so no out-of-range value is ever converted to an integer.
inline uint64_t roundedIntegerField(double scaled, double rawMinimum, double rawMaximum, uint64_t fieldMask) noexcept {
    double rounded = scaled < 0.0 ? scaled - 0.5 : scaled + 0.5;
    if (rounded > rawMaximum) rounded = rawMaximum;
    if (!(rounded >= rawMinimum)) rounded = rawMinimum;
    return static_cast<uint64_t>(static_cast<int64_t>(rounded)) & fieldMask;
}

// Halfway between the largest single and 2^128: from here on, round-to-nearest
// (ties to even) gives infinity.
inline constexpr double kSingleOverflowThreshold = 0x1.ffffffp127;

// IEEE single nearest to value, infinity beyond the single range, without the
// undefined behaviour of converting an out-of-range double.
inline float roundToSingle(double value) noexcept {
    if (std::fabs(value) >= kSingleOverflowThreshold)
        return std::signbit(value) ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

}  // namespace canxlate
