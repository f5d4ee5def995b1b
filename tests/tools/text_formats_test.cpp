// The small text formats of the program: shortest doubles, CSV fields, JSON
// strings, CAN IDs and channel values given on the command line.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "can_id_text.h"
#include "channel_assignment.h"
#include "command_line.h"
#include "csv_field.h"
#include "json_string.h"
#include "shortest_double.h"

namespace canxlate::cli {
namespace {

std::string shortest(double value) {
    char text[kShortestDoubleMaxLength];
    return std::string(text, writeShortestDouble(text, value));
}

TEST(ShortestDouble, EveryFiniteBitPatternRoundTrips) {
    std::mt19937_64 random(3);
    for (int i = 0; i < 100000; ++i) {
        const double value = std::bit_cast<double>(random());
        if (!std::isfinite(value)) continue;
        const std::string text = shortest(value);
        ASSERT_LE(text.size(), kShortestDoubleMaxLength);  // -2.2250738585072014e-308 is the longest
        double back = 0;
        std::from_chars(text.data(), text.data() + text.size(), back);
        ASSERT_EQ(std::bit_cast<uint64_t>(back), std::bit_cast<uint64_t>(value)) << text;
    }
}

std::string generalShortest(double value) {
    char text[kShortestDoubleMaxLength];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// Scaled raw values take a faster path than the general algorithm; the text
// must be exactly the general algorithm's, in plain and exponent form alike.
TEST(ShortestDouble, ScaledRawValuesGiveTheGeneralAlgorithmsText) {
    const double factors[] = {1, 0.1, 0.01, 0.001, 0.25, 0.4, 0.5, 0.05, 0.0625, 3.6, 1e-5, 0.125, 100};
    const double offsets[] = {0, -40, 0.5, -1000, 273.15};
    for (double factor : factors) {
        for (double offset : offsets) {
            for (int raw = -70000; raw <= 70000; raw += 7) {
                const double value = raw * factor + offset;
                ASSERT_EQ(shortest(value), generalShortest(value)) << raw << " * " << factor << " + " << offset;
            }
        }
    }
    const double edges[] = {0.0, INFINITY, NAN, 1e5, 99999, 100001, 1e9,
                            999999999.5, 0.001, 0.00099999999999999, 0.0015, 1e-4, 123456.7,
                            1e5 + 0.5, 0.30000000000000004, 99.60000000000001, 4.35, 2.675, 1.0000005};
    for (double value : edges) {
        EXPECT_EQ(shortest(value), generalShortest(value)) << value;
        EXPECT_EQ(shortest(-value), generalShortest(-value)) << value;
    }
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> exponent(-4, 10);
    for (int i = 0; i < 200000; ++i) {
        const double value = std::pow(10.0, exponent(random));
        ASSERT_EQ(shortest(value), generalShortest(value)) << value;
    }
    // Short decimals of every size and number of places, as written in a database.
    std::uniform_int_distribution<int64_t> digits(1, 2'000'000'000'000);
    std::uniform_int_distribution<int> places(0, 9);
    for (int i = 0; i < 200000; ++i) {
        const int64_t whole = digits(random) >> (i % 40);
        const double value = static_cast<double>(whole) / std::pow(10.0, places(random));
        ASSERT_EQ(shortest(value), generalShortest(value)) << whole;
    }
}

TEST(CsvField, QuotesOnlyWhereNeeded) {
    const std::pair<std::string, std::string> cases[] = {
        {"EngineSpeed", "EngineSpeed"},
        {"", ""},
        {"Speed m2", "Speed m2"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"cr\r", "\"cr\r\""},
        {" padded", "\" padded\""},
        {"padded\t", "\"padded\t\""},
    };
    for (const auto& [field, expected] : cases) {
        EXPECT_EQ(csvField(field), expected);
        EXPECT_LE(csvField(field).size(), csvFieldMaxLength(field.size()));
    }
    EXPECT_EQ(csvField(std::string(5, '"')).size(), csvFieldMaxLength(5));
}

TEST(JsonString, EscapesQuotesBackslashesAndControlCharacters) {
    std::string out;
    appendJsonString(out, std::string("a\"b\\c\nd\te\x01\x7f\xc3\xa9", 13));
    EXPECT_EQ(out, "\"a\\\"b\\\\c\\nd\\te\\u0001\\u007F\xc3\xa9\"");
}

TEST(CanIdText, CandumpWidthsBothWays) {
    EXPECT_EQ(canIdText({0x12, false}), "012");
    EXPECT_EQ(canIdText({0x7FF, false}), "7FF");
    EXPECT_EQ(canIdText({0x100, true}), "00000100");
    EXPECT_EQ(canIdText({0x18FEF100, true}), "18FEF100");

    struct Case {
        std::string text;
        bool valid;
        uint32_t value;
        bool extended;
    };
    const Case cases[] = {
        {"100", true, 0x100, false},       {"0x100", true, 0x100, false},   {"7ff", true, 0x7FF, false},
        {"800", true, 0x800, true},        {"00000100", true, 0x100, true}, {"0X18fef100", true, 0x18FEF100, true},
        {"1FFFFFFF", true, 0x1FFFFFFF, true}, {"20000000", false, 0, false}, {"", false, 0, false},
        {"0x", false, 0, false},           {"123456789", false, 0, false},  {"12g", false, 0, false},
        {"-1", false, 0, false},
    };
    for (const Case& c : cases) {
        const std::optional<CanId> id = parseCanIdArgument(c.text);
        ASSERT_EQ(id.has_value(), c.valid) << c.text;
        if (!id) continue;
        EXPECT_EQ(id->value, c.value) << c.text;
        EXPECT_EQ(id->extended, c.extended) << c.text;
    }
}

TEST(ChannelAssignment, SplitsAtTheLastEqualsSign) {
    const auto plain = splitAssignment("Speed=12.5");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->name, "Speed");
    EXPECT_EQ(plain->valueText, "12.5");
    const auto spaced = splitAssignment("Speed m2=1");
    ASSERT_TRUE(spaced);
    EXPECT_EQ(spaced->name, "Speed m2");
    const auto odd = splitAssignment("a=b=3");
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->name, "a=b");
    EXPECT_EQ(odd->valueText, "3");
    EXPECT_FALSE(splitAssignment("Speed"));
    EXPECT_FALSE(splitAssignment("=5"));
}

TEST(ChannelAssignment, ValuesAreWholeDecimalNumbers) {
    const std::pair<std::string, double> good[] = {{"12.5", 12.5}, {"-3", -3}, {"+4", 4}, {"1e3", 1000}, {"0.1", 0.1},
                                                   {"-0", -0.0},   {"inf", INFINITY}};
    for (const auto& [text, value] : good) {
        const std::optional<double> parsed = parseValue(text);
        ASSERT_TRUE(parsed) << text;
        EXPECT_EQ(std::bit_cast<uint64_t>(*parsed), std::bit_cast<uint64_t>(value)) << text;
    }
    EXPECT_TRUE(std::isnan(parseValue("nan").value_or(0)));
    for (const std::string bad : {"", "+", "+-1", "1,5", "12x", " 1", "1 ", "0x10", "--1"}) {
        EXPECT_FALSE(parseValue(bad)) << '"' << bad << '"';
    }
}

TEST(CommandLine, OptionsAnywhereWithValuesInBothSpellings) {
    constexpr OptionSpec specs[] = {{"--csv"}, {"--select", true}};
    std::string error;
    const std::string_view arguments[] = {"db.dbc", "--select", "A", "-", "--csv", "--select=B", "--", "--csv", "-7"};
    const auto parsed = parseCommandLine(arguments, specs, error);
    ASSERT_TRUE(parsed) << error;
    EXPECT_EQ(parsed->positionals, (std::vector<std::string_view>{"db.dbc", "-", "--csv", "-7"}));
    EXPECT_TRUE(parsed->has("--csv"));
    EXPECT_EQ(parsed->values("--select"), (std::vector<std::string>{"A", "B"}));

    const std::pair<std::vector<std::string_view>, std::string> failures[] = {
        {{"--json"}, "unknown option '--json'"},
        {{"--select"}, "option '--select' needs a value"},
        {{"--csv=yes"}, "option '--csv' takes no value"},
    };
    for (const auto& [failing, message] : failures) {
        EXPECT_FALSE(parseCommandLine(failing, specs, error));
        EXPECT_EQ(error, message);
    }
}

}  // namespace
}  // namespace canxlate::cli
