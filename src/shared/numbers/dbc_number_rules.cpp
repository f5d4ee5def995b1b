#include "shared/numbers/dbc_number_rules.h"

#include <cmath>

namespace canxlate {

namespace {

int64_t floorDivide(int64_t value, int64_t divisor) {
    const int64_t quotient = value / divisor;
    return (value % divisor < 0) ? quotient - 1 : quotient;
}

}  // namespace

uint32_t dbcMessageIdFromReal(double value) {
    if (!std::isfinite(value)) {
        return 0;
    }
    constexpr double kTwoTo32 = 4294967296.0;
    // fmod is exact; for an integral value the remainder is an integer in
    // (-2^32, 2^32), so adding 2^32 to a negative one is exact too.
    double remainder = std::fmod(std::trunc(value), kTwoTo32);
    if (remainder < 0.0) {
        remainder += kTwoTo32;
    }
    return static_cast<uint32_t>(remainder) & kDbcMessageIdMask;
}

uint32_t dbcMessageIdFromInteger(int32_t value) { return static_cast<uint32_t>(value) & kDbcMessageIdMask; }

uint32_t motorolaLeastSignificantStartBit(int32_t mostSignificantStartBit, int32_t bitCount) {
    if (bitCount < 1) {
        return static_cast<uint32_t>(mostSignificantStartBit);
    }
    // Number the bits in transmission order (byte 0 bit 7 first, then down to
    // bit 0, then byte 1 bit 7, ...): in that order the walk is a plain sum.
    const int64_t msb = mostSignificantStartBit;
    const int64_t msbByte = floorDivide(msb, 8);
    const int64_t msbOrder = 8 * msbByte + (7 - (msb - 8 * msbByte));
    const int64_t lsbOrder = msbOrder + (static_cast<int64_t>(bitCount) - 1);
    const int64_t lsbByte = floorDivide(lsbOrder, 8);
    const int64_t lsb = 8 * lsbByte + (7 - (lsbOrder - 8 * lsbByte));
    return static_cast<uint32_t>(lsb);
}

}  // namespace canxlate
