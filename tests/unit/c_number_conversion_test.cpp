#include "import/c_number_conversion.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

namespace canxlate {
namespace {

using namespace std::string_literals;

struct IntegerCase {
    std::string text;
    int32_t expected;
};

TEST(ReadCInteger, ReadsLikeAtolWithWrapAround) {
    const IntegerCase cases[] = {
        {"", 0},
        {"abc", 0},
        {"+", 0},
        {"-", 0},
        {"- 5", 0},
        {"+-5", 0},
        {"0x1F", 0},
        {"42", 42},
        {"+42", 42},
        {"-42", -42},
        {" \t\n\v\f\r17", 17},
        {"12abc", 12},
        {"12 34", 12},
        {"007", 7},
        {"3.9", 3},
        {"2147483647", 2147483647},
        {"2147483648", INT32_MIN},
        {"-2147483648", INT32_MIN},
        {"4294967295", -1},
        {"4294967296", 0},
        {"4294967297", 1},
        {"-2147483649", 2147483647},
        {"-4294967297", -1},
        // 10^20 mod 2^32 = 1661992960
        {"100000000000000000000", 1661992960},
        {"5\0" "7"s, 5},
        {"\0" "7"s, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readCInteger(c.text), c.expected) << "text: \"" << c.text << "\"";
    }
}

TEST(ReadCInteger, HugeDigitStringWrapsWithoutOverflow) {
    // 10^k mod 2^32 for k >= 32 is 0, so "1" followed by many zeros reads 0,
    // and one more trailing 7 gives 7.
    EXPECT_EQ(readCInteger("1" + std::string(100000, '0')), 0);
    EXPECT_EQ(readCInteger("1" + std::string(100000, '0') + "7"), 7);
    EXPECT_EQ(readCInteger(std::string(100000, ' ') + "-3"), -3);
}

struct RealCase {
    std::string text;
    double expected;
};

void expectSameDouble(double actual, double expected, const std::string& text) {
    if (std::isnan(expected)) {
        EXPECT_TRUE(std::isnan(actual)) << "text: \"" << text << "\"";
        return;
    }
    EXPECT_EQ(actual, expected) << "text: \"" << text << "\"";
    EXPECT_EQ(std::signbit(actual), std::signbit(expected)) << "sign, text: \"" << text << "\"";
}

TEST(ReadCReal, ReadsLikeAtofInTheCLocale) {
    const double inf = std::numeric_limits<double>::infinity();
    const double minSubnormal = std::numeric_limits<double>::denorm_min();
    const RealCase cases[] = {
        {"", 0.0},
        {"abc", 0.0},
        {".", 0.0},
        {"-.", 0.0},
        {"+", 0.0},
        {"e5", 0.0},
        {".e5", 0.0},
        {"inf", 0.0},
        {"nan", 0.0},
        {"0x10", 0.0},
        {"-0", -0.0},
        {"0.01", 0.01},
        {"+0.01", 0.01},
        {"-40", -40.0},
        {" \t\n\v\f\r2.5", 2.5},
        {".5", 0.5},
        {"5.", 5.0},
        {"-.5", -0.5},
        {"1e", 1.0},
        {"1e+", 1.0},
        {"1e-", 1.0},
        {"1ex", 1.0},
        {"1E2", 100.0},
        {"1e+2", 100.0},
        {"2.5e-1", 0.25},
        {"1.5.3", 1.5},
        {"1,5", 1.0},
        {"655.35] \"km/h\"", 655.35},
        {"0.1,-40)", 0.1},
        {"1e400", inf},
        {"-1e400", -inf},
        {"1e-400", 0.0},
        {"-1e-400", -0.0},
        {"0e999999999999999999999", 0.0},
        {"1e99999999999999999999999", inf},
        {"1e-99999999999999999999999", 0.0},
        {"1.7976931348623157e308", std::numeric_limits<double>::max()},
        {"1.7976931348623159e308", inf},
        {"4.9406564584124654e-324", minSubnormal},
        {"2e-324", 0.0},
        {"0.000001e310", 1e304},
        {"3e-324", minSubnormal},
        {"100000e-329", 0.0},  // 1e-324: below half the smallest subnormal
        // Correct rounding: the nearest double, not one off.
        {"9007199254740993", 9007199254740992.0},
        {"0.30000000000000004", 0.30000000000000004},
        {"2.2250738585072011e-308", 2.2250738585072011e-308},
        {"3\0" ".5"s, 3.0},
        {"\0" "3"s, 0.0},
    };
    for (const auto& c : cases) {
        expectSameDouble(readCReal(c.text), c.expected, c.text);
    }
}

TEST(ReadCReal, HugeDigitStrings) {
    const std::string nines(400000, '9');
    EXPECT_EQ(readCReal(nines), std::numeric_limits<double>::infinity());
    EXPECT_EQ(readCReal("-" + nines), -std::numeric_limits<double>::infinity());
    // Many leading zeros do not change the value.
    EXPECT_EQ(readCReal(std::string(400000, '0') + "1.25"), 1.25);
    EXPECT_EQ(readCReal("0." + std::string(400000, '0') + "1e400005"), 1e4);
    // A tiny fraction overall: underflow to zero, not to infinity.
    EXPECT_EQ(readCReal("0." + std::string(400000, '0') + "1"), 0.0);
    // Digits far beyond the 17 significant ones still decide the rounding:
    // 2^53 + 1 followed by zeros and a final 1 is above the halfway point.
    EXPECT_EQ(readCReal("9007199254740993." + std::string(10000, '0') + "1"), 9007199254740994.0);
    EXPECT_EQ(readCReal("9007199254740993." + std::string(10000, '0')), 9007199254740992.0);
}

TEST(ReadZcdReal, CommaAndPointBothSeparate) {
    const RealCase cases[] = {
        {"0,5", 0.5},
        {"0.5", 0.5},
        {"-0,25", -0.25},
        {",5", 0.5},
        {"5,", 5.0},
        {"1,5,3", 1.5},
        {"1,5.3", 1.5},
        {"1.5,3", 1.5},
        {",", 0.0},
        {"", 0.0},
        {"x", 0.0},
        {"  +2,5e2", 250.0},
        {"1,5e", 1.5},
        {"1e400", std::numeric_limits<double>::infinity()},
        {"-0,0", -0.0},
        {"0,000001e310", 1e304},
        {"1,e-400", 0.0},
    };
    for (const auto& c : cases) {
        expectSameDouble(readZcdReal(c.text), c.expected, c.text);
    }
}

TEST(ReadZcdReal, LongNumbersWithComma) {
    // Longer than any stack copy: still read whole and correctly rounded.
    EXPECT_EQ(readZcdReal("9007199254740993," + std::string(10000, '0') + "1"), 9007199254740994.0);
    EXPECT_EQ(readZcdReal(std::string(5000, '0') + "0,125"), 0.125);
    EXPECT_EQ(readZcdReal("0," + std::string(5000, '0') + "1e5005"), 1e4);
    EXPECT_EQ(readZcdReal(std::string(5000, '9') + ",5"), std::numeric_limits<double>::infinity());
}

// A locale with a decimal comma, by the platform's name for it.
#if defined(_WIN32)
constexpr const char* kDecimalCommaLocale = "German_Germany.1252";
#else
constexpr const char* kDecimalCommaLocale = "de_DE.UTF-8";
#endif

// The process locale must not change how numbers are read.
TEST(NumberReadingLocale, DecimalCommaLocaleDoesNotMatter) {
    if (std::setlocale(LC_ALL, kDecimalCommaLocale) == nullptr) {
        GTEST_SKIP() << "locale " << kDecimalCommaLocale << " is not installed; install it to run this test";
    }
    const double hundredth = readCReal("0.01");
    const double halfWithComma = readZcdReal("0,5");
    const double halfWithPoint = readZcdReal("0.5");
    const double cRealWithComma = readCReal("0,5");
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(hundredth, 0.01);
    EXPECT_EQ(halfWithComma, 0.5);
    EXPECT_EQ(halfWithPoint, 0.5);
    EXPECT_EQ(cRealWithComma, 0.0);
}

}  // namespace
}  // namespace canxlate
