#include "import/dbc_number_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace canxlate {
namespace {

struct MessageIdCase {
    double value;
    uint32_t expected;
};

TEST(DbcMessageIdFromReal, TruncatesWrapsAndMasks) {
    const double inf = std::numeric_limits<double>::infinity();
    const MessageIdCase cases[] = {
        {0.0, 0},
        {-0.0, 0},
        {100.0, 100},
        {100.9, 100},
        {-0.9, 0},
        {536870911.0, 0x1FFFFFFF},
        {536870912.0, 0},
        {2566844672.0, 419361024},  // bit 31 (extended flag) dropped
        {3221225472.0, 0},          // bits 31 and 30 only
        {4294967295.0, 0x1FFFFFFF},
        {4294967296.0, 0},
        {4294967396.0, 100},        // 2^32 + 100
        {-1.0, 0x1FFFFFFF},         // -1 mod 2^32 = 0xFFFFFFFF
        {-4294967196.0, 100},       // -(2^32 - 100)
        {-2.5, 0x1FFFFFFE},
        {1e300, 0},                 // a multiple of 2^32
        {std::ldexp(1.0, 60) + std::ldexp(1.0, 12), 4096},
        {-(std::ldexp(1.0, 60) + std::ldexp(1.0, 12)), 0x1FFFF000},
        {inf, 0},
        {-inf, 0},
        {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(dbcMessageIdFromReal(c.value), c.expected) << "value " << c.value;
    }
}

TEST(DbcMessageIdFromInteger, MasksTo29Bits) {
    EXPECT_EQ(dbcMessageIdFromInteger(100), 100u);
    EXPECT_EQ(dbcMessageIdFromInteger(-1), 0x1FFFFFFFu);
    EXPECT_EQ(dbcMessageIdFromInteger(static_cast<int32_t>(2566844672u)), 419361024u);
    EXPECT_EQ(dbcMessageIdFromInteger(INT32_MIN), 0u);
}

TEST(MotorolaLeastSignificantStartBit, KnownSignals) {
    struct Case {
        int32_t msb;
        int32_t bitCount;
        uint32_t expected;
    };
    const Case cases[] = {
        {7, 16, 8}, {15, 12, 20}, {7, 64, 56}, {3, 4, 0}, {7, 1, 7},
        {1, 4, 14},   // crosses into byte 1: bits 1, 0 of byte 0, then 7, 6 of byte 1
        {3, 8, 12},   // bits 3..0 of byte 0, then 7..4 of byte 1
        {0, 2, 15},
        {63, 1, 63},
        {56, 2, 71},  // runs past the payload: handed on for validation to refuse
        {0, 64, 65},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(motorolaLeastSignificantStartBit(c.msb, c.bitCount), c.expected)
            << c.msb << "|" << c.bitCount << "@0";
    }
}

TEST(MotorolaLeastSignificantStartBit, OutOfRangeInputsAreHandedOnWithoutOverflow) {
    EXPECT_EQ(motorolaLeastSignificantStartBit(5, 0), 5u);
    EXPECT_EQ(motorolaLeastSignificantStartBit(-3, 0), static_cast<uint32_t>(-3));
    EXPECT_EQ(motorolaLeastSignificantStartBit(9, -7), 9u);
    // Huge values wrap to 32 bits instead of overflowing.
    EXPECT_EQ(motorolaLeastSignificantStartBit(7, INT32_MAX), 2147483641u);  // 7 + 8 * 268435455 - 6
    EXPECT_EQ(motorolaLeastSignificantStartBit(INT32_MAX, INT32_MAX), 4294967281u);
    EXPECT_EQ(motorolaLeastSignificantStartBit(INT32_MIN, 2), static_cast<uint32_t>(INT32_MIN) + 15u);
    // A negative start bit lies in a negative byte; the walk is the same.
    EXPECT_EQ(motorolaLeastSignificantStartBit(-1, 2), static_cast<uint32_t>(-2));
    EXPECT_EQ(motorolaLeastSignificantStartBit(-8, 2), static_cast<uint32_t>(7));
}

}  // namespace
}  // namespace canxlate
