#include "shortest_double.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace canxlate::cli {
namespace {

constexpr int kMostFastDecimals = 6;
constexpr double kFastScale = 1e6;  // 10^kMostFastDecimals
constexpr uint64_t kFastDivisor = 1000000;

// Most decoded values are small integers or have a few decimals (raw * 0.25,
// raw * 0.01 + 40). For those the shortest text is found far faster than by
// the general algorithm, and it is the same text:
// - d / 10^k with d and 10^k exact doubles is the correctly rounded value of
//   the decimal d·10^-k, so it equals the value exactly when that decimal
//   reads back as the value; the smallest such k gives the fewest digits.
// - Below 1e9 a double is finer than 1e-7, so at most one decimal with
//   k <= 6 places reads back as it: there is no nearer candidate to prefer.
//   If one does, value * 10^6 lies within 0.25 of its digits followed by
//   6 - k zeros, so rounding finds them, one division checks them, and
//   dropping the trailing zeros gives the smallest k.
// - From 0.001 up, and for integers below 1e5, the plain form is never longer
//   than the exponent form, which is the one the general algorithm picks
//   otherwise.
char* writeFewDecimals(char* out, double value) {
    const double magnitude = std::fabs(value);
    if (!(magnitude >= 1e-3 && magnitude < 1e9)) return nullptr;  // also NaN
    // Below 1e15, so the conversion is exact and defined; a rounding slip
    // only fails the check that follows.
    const double digits = static_cast<double>(static_cast<int64_t>(magnitude * kFastScale + 0.5));
    if (digits / kFastScale != magnitude) return nullptr;
    const auto scaled = static_cast<uint64_t>(digits);
    const uint64_t fraction = scaled % kFastDivisor;
    if (fraction == 0 && magnitude >= 1e5) return nullptr;  // 100000 is written 1e+05
    *out = '-';
    out += std::signbit(value) ? 1 : 0;
    const uint64_t whole = scaled / kFastDivisor;
    out =
        whole < 100000 ? writeSmallInteger(out, static_cast<uint32_t>(whole)) : std::to_chars(out, out + 10, whole).ptr;
    if (fraction == 0) return out;
    // The six decimals, the first in the lowest byte, as digit values; the
    // trailing zeros are the zero bytes at the top, counted without a loop.
    uint64_t decimals = sixDigits(static_cast<uint32_t>(fraction));
    const auto shown =
        static_cast<uint64_t>(kMostFastDecimals) - static_cast<uint64_t>(std::countl_zero(decimals << 16)) / 8;
    decimals += kZeroCharacters >> 16;  // bytes 6 and 7 stay zero
    *out++ = '.';
    std::memcpy(out, &decimals, 8);
    return out + shown;
}

}  // namespace

char* writeShortestFraction(char* out, double value) {
    if (char* end = writeFewDecimals(out, value)) return end;
    return std::to_chars(out, out + kShortestDoubleMaxLength, value).ptr;
}

}  // namespace canxlate::cli
