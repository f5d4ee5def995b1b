// How definition files' numbers are read: C-style integers and reals, and the
// DBC rules for message IDs and Motorola start bits.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <utility>

#include "shared/numbers/c_number_conversion.h"
#include "shared/numbers/dbc_number_rules.h"

namespace canxlate {
namespace {

using namespace std::string_literals;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMinSubnormal = std::numeric_limits<double>::denorm_min();
#if defined(_WIN32)
constexpr const char* kDecimalCommaLocale = "German_Germany.1252";
#else
constexpr const char* kDecimalCommaLocale = "de_DE.UTF-8";
#endif

TEST(NumberRules, CIntegerReadsLikeAtolAndWraps) {
    const std::string zeros(100000, '0');
    // clang-format off
    const std::pair<std::string, int32_t> cases[] = {
        {"", 0}, {"- 5", 0}, {"+-5", 0}, {"0x1F", 0}, {"+42", 42}, {"-42", -42}, {" \t\n\v\f\r17", 17}, {"12abc", 12},
        {"12 34", 12}, {"007", 7}, {"3.9", 3}, {"2147483647", 2147483647}, {"2147483648", INT32_MIN},
        {"-2147483648", INT32_MIN}, {"4294967295", -1}, {"4294967297", 1}, {"-2147483649", 2147483647},
        {"-4294967297", -1}, {"100000000000000000000", 1661992960} /* 10^20 mod 2^32 */, {"5\0007"s, 5}, {"\0007"s, 0},
        {"1" + zeros, 0}, {"1" + zeros + "7", 7}, {std::string(100000, ' ') + "-3", -3}};
    // clang-format on
    for (const auto& [text, expected] : cases) EXPECT_EQ(readCInteger(text), expected) << text;
}

struct RealCase {
    std::string text;
    double c;                        // readCReal: only '.' separates decimals
    std::optional<double> zcd = {};  // readZcdReal, where ',' does too; when unset, as readCReal
};

// Correctly rounded; signed zeros and infinities as atof gives them in the C locale.
TEST(NumberRules, RealsReadLikeAtof) {
    const std::string zeros(400000, '0');
    const std::string nines(400000, '9');
    // clang-format off
    const RealCase cases[] = {
        {"abc", 0}, {".", 0}, {"-.", 0}, {"+", 0}, {"e5", 0}, {".e5", 0}, {"inf", 0}, {"nan", 0}, {"0x10", 0},
        {"-0", -0.0}, {"0.01", 0.01}, {"+0.01", 0.01}, {"-40", -40}, {" \t\n\v\f\r2.5", 2.5}, {".5", 0.5}, {"5.", 5},
        {"-.5", -0.5}, {"1e", 1}, {"1e+", 1}, {"1e-", 1}, {"1ex", 1}, {"1E2", 100}, {"1e+2", 100}, {"2.5e-1", 0.25},
        {"1.5.3", 1.5}, {"655.35] \"km/h\"", 655.35}, {"0.1,-40)", 0.1}, {"1e400", kInf}, {"-1e400", -kInf},
        {"1e-400", 0}, {"-1e-400", -0.0}, {"0e999999999999999999999", 0}, {"1e99999999999999999999999", kInf},
        {"1e-99999999999999999999999", 0}, {"1.7976931348623157e308", std::numeric_limits<double>::max()},
        {"1.7976931348623159e308", kInf}, {"4.9406564584124654e-324", kMinSubnormal}, {"2e-324", 0},
        {"3e-324", kMinSubnormal}, {"100000e-329", 0}, {"0.000001e310", 1e304}, {"3\0.5"s, 3}, {"\0003"s, 0},
        {"9007199254740993", 9007199254740992.0}, {"0.30000000000000004", 0.30000000000000004},
        {"2.2250738585072011e-308", 2.2250738585072011e-308}, {nines, kInf}, {"-" + nines, -kInf},
        {zeros + "1.25", 1.25}, {"0." + zeros + "1e400005", 1e4}, {"0." + zeros + "1", 0},
        // Out of range: the exponent's digits decide between infinity and zero.
        {"1" + zeros.substr(0, 120000) + "e-99999", kInf}, {"0." + zeros.substr(0, 120000) + "1e99999", 0},
        {zeros.substr(0, 500) + "1e-400", 0},  // leading zeros do not count towards the magnitude
        // Digits far beyond the 17th still decide the rounding.
        {"9007199254740993." + zeros.substr(0, 10000) + "1", 9007199254740994.0},
        {"9007199254740993." + zeros.substr(0, 10000), 9007199254740992.0},
        {"1,5", 1, 1.5}, {"-0,25", -0.0, -0.25}, {",5", 0, 0.5}, {"5,", 5}, {"1,5.3", 1, 1.5}, {"1.5,3", 1.5},
        {",", 0}, {"  +2,5e2", 2, 250}, {"1,5e", 1, 1.5}, {"-0,0", -0.0}, {"1,e-400", 1, 0}, {"0,000001e310", 0, 1e304},
        {"9007199254740993," + zeros.substr(0, 10000) + "1", 9007199254740992.0, 9007199254740994.0},
        {zeros.substr(0, 5000) + "0,125", 0, 0.125}, {"0," + zeros.substr(0, 5000) + "1e5005", 0, 1e4},
        {nines.substr(0, 5000) + ",5", kInf}};
    // clang-format on
    // The process locale must not matter: the rows hold under a decimal-comma one too.
    for (const char* locale : {"C", kDecimalCommaLocale}) {
        if (std::setlocale(LC_ALL, locale) == nullptr) GTEST_SKIP() << "locale " << locale << " is not installed";
        for (const RealCase& c : cases) {
            for (const auto& [read, expected] :
                 {std::pair{readCReal(c.text), c.c}, {readZcdReal(c.text), c.zcd.value_or(c.c)}}) {
                EXPECT_EQ(read, expected) << c.text << " in locale " << locale;
                EXPECT_EQ(std::signbit(read), std::signbit(expected)) << c.text << " in locale " << locale;
            }
        }
    }
    std::setlocale(LC_ALL, "C");
}

TEST(NumberRules, DbcMessageIdsKeepTheLow29Bits) {
    // clang-format off
    const std::pair<double, uint32_t> reals[] = {
        {-0.0, 0}, {100.9, 100}, {-0.9, 0}, {536870911.0, 0x1FFFFFFF}, {536870912.0, 0}, {3221225472.0, 0},
        {2566844672.0, 419361024} /* bit 31, the extended flag, dropped */, {4294967295.0, 0x1FFFFFFF},
        {4294967396.0, 100}, {-1.0, 0x1FFFFFFF}, {-4294967196.0, 100}, {-2.5, 0x1FFFFFFE}, {1e300, 0},
        {std::ldexp(1.0, 60) + 4096, 4096}, {-(std::ldexp(1.0, 60) + 4096), 0x1FFFF000}, {kInf, 0}, {-kInf, 0},
        {std::nan(""), 0}};
    const std::pair<int32_t, uint32_t> integers[] = {
        {100, 100}, {-1, 0x1FFFFFFF}, {INT32_MIN, 0}, {static_cast<int32_t>(2566844672u), 419361024}};
    // clang-format on
    for (const auto& [value, expected] : reals) EXPECT_EQ(dbcMessageIdFromReal(value), expected) << value;
    for (const auto& [value, expected] : integers) EXPECT_EQ(dbcMessageIdFromInteger(value), expected) << value;
}

// Against a walk of one bit at a time toward less significant bits, in
// big-endian bit order, for every start bit and length within a payload.
TEST(NumberRules, MotorolaStartBitIsThatOfTheLeastSignificantBit) {
    for (int32_t msb = 0; msb < 64; ++msb) {
        for (int32_t count = 1; count <= 64; ++count) {
            auto walked = static_cast<uint32_t>(msb);
            for (int32_t step = 1; step < count; ++step) walked = walked % 8 != 0 ? walked - 1 : walked + 15;
            EXPECT_EQ(motorolaLeastSignificantStartBit(msb, count), walked) << msb << "|" << count;
        }
    }
    // Beyond: no bits leave the start bit alone, huge values wrap to 32 bits
    // without overflow, negative bytes walk the same way.
    // clang-format off
    const std::pair<std::pair<int32_t, int32_t>, uint32_t> cases[] = {
        {{5, 0}, 5}, {{-3, 0}, 0xFFFFFFFD}, {{9, -7}, 9}, {{7, INT32_MAX}, 2147483641u}, {{INT32_MAX, INT32_MAX}, 4294967281u},
        {{INT32_MIN, 2}, 0x8000000Fu}, {{-1, 2}, 0xFFFFFFFE}, {{-8, 2}, 7}};
    // clang-format on
    for (const auto& [in, expected] : cases) {
        EXPECT_EQ(motorolaLeastSignificantStartBit(in.first, in.second), expected) << in.first << "|" << in.second;
    }
}

}  // namespace
}  // namespace canxlate
