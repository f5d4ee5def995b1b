#include "shortest_double.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace canxlate::cli {
namespace {

constexpr double kPowersOfTen[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};
constexpr int kMostFastDecimals = 6;

// Most decoded values are small integers or have a few decimals (raw * 0.25,
// raw * 0.01 + 40). For those the shortest text is found far faster than by
// the general algorithm, and it is the same text:
// - d / 10^k with d and 10^k exact doubles is the correctly rounded value of
//   the decimal d·10^-k, so it equals the value exactly when that decimal
//   reads back as the value; the smallest such k gives the fewest digits.
// - Below 1e9 a double is finer than 1e-7, so at most one decimal with
//   k <= 6 places reads back as it: there is no nearer candidate to prefer.
// - From 0.001 up, and for integers below 1e5, the plain form is never longer
//   than the exponent form, which is the one the general algorithm picks
//   otherwise.
char* writeFewDecimals(char* out, double value) {
    const double magnitude = std::fabs(value);
    if (!(magnitude >= 1e-3 && magnitude < 1e9)) return nullptr;  // also NaN
    for (int decimals = 0; decimals <= kMostFastDecimals; ++decimals) {
        const double scale = kPowersOfTen[decimals];
        // Below 1e15, so the conversion is exact and defined; a rounding slip
        // only fails the check that follows.
        const double digits = static_cast<double>(static_cast<int64_t>(magnitude * scale + 0.5));
        if (digits / scale != magnitude) continue;
        if (decimals == 0 && magnitude >= 1e5) return nullptr;  // 100000 is written 1e+05
        const auto whole = static_cast<uint64_t>(digits);       // below 1e15
        const auto divisor = static_cast<uint64_t>(scale);
        if (std::signbit(value)) *out++ = '-';
        out = std::to_chars(out, out + 10, whole / divisor).ptr;
        if (decimals > 0) {
            *out++ = '.';
            uint64_t fraction = whole % divisor;
            for (int i = decimals - 1; i >= 0; --i) {
                out[i] = static_cast<char>('0' + fraction % 10);
                fraction /= 10;
            }
            out += decimals;
        }
        return out;
    }
    return nullptr;
}

}  // namespace

char* writeShortestDouble(char* out, double value) {
    if (char* end = writeFewDecimals(out, value)) return end;
    return std::to_chars(out, out + kShortestDoubleMaxLength, value).ptr;
}

}  // namespace canxlate::cli
