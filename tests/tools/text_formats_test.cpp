// The small text formats of the program, below what its output shows:
// shortest doubles against the general algorithm, and tables of the CSV,
// JSON, CAN ID, NAME=VALUE and option rules.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <random>
#include <string>

#include "can_id_text.h"
#include "channel_assignment.h"
#include "command_line.h"
#include "csv_field.h"
#include "json_string.h"
#include "printable_text.h"
#include "shortest_double.h"

namespace canxlate::cli {
namespace {

std::string shortest(double value) {
    char text[kShortestDoubleMaxLength];
    return std::string(text, writeShortestDouble(text, value));
}

std::string generalShortest(double value) {
    char text[kShortestDoubleMaxLength];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// Scaled raw values take a faster path than the general algorithm; the text
// must be exactly the general algorithm's, in plain and exponent form alike.
TEST(ShortestDouble, GivesTheGeneralAlgorithmsText) {
    for (double factor : {1.0, 0.1, 0.01, 0.001, 0.25, 0.4, 0.5, 0.05, 0.0625, 3.6, 1e-5, 0.125, 100.0}) {
        for (double offset : {0.0, -40.0, 0.5, -1000.0, 273.15}) {
            for (int raw = -70000; raw <= 70000; raw += 7) {
                const double value = raw * factor + offset;
                ASSERT_EQ(shortest(value), generalShortest(value)) << raw << " * " << factor << " + " << offset;
            }
        }
    }
    for (double value : {0.0,
                         9.0,
                         10.0,
                         99.0,
                         100.0,
                         999.0,
                         1000.0,
                         9999.0,
                         10000.0,
                         HUGE_VAL,
                         std::nan(""),
                         1e5,
                         99999.0,
                         100001.0,
                         1e9,
                         999999999.5,
                         0.001,
                         0.00099999999999999,
                         0.0015,
                         1e-4,
                         123456.7,
                         1e5 + 0.5,
                         0.30000000000000004,
                         99.60000000000001,
                         4.35,
                         2.675,
                         1.0000005}) {
        EXPECT_EQ(shortest(value), generalShortest(value)) << value;
        EXPECT_EQ(shortest(-value), generalShortest(-value)) << value;
    }
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> exponent(-4, 10);
    std::uniform_int_distribution<int64_t> digits(1, 2'000'000'000'000);
    std::uniform_int_distribution<int> places(0, 9);
    for (int i = 0; i < 200000; ++i) {
        const double power = std::pow(10.0, exponent(random));
        ASSERT_EQ(shortest(power), generalShortest(power)) << power;
        // Short decimals of every size and number of places, as a database writes them.
        const double decimal = static_cast<double>(digits(random) >> (i % 40)) / std::pow(10.0, places(random));
        ASSERT_EQ(shortest(decimal), generalShortest(decimal)) << decimal;
    }
    // Any bit pattern at all reads back as itself, within the promised length.
    for (int i = 0; i < 100000; ++i) {
        const double value = std::bit_cast<double>(random());
        if (!std::isfinite(value)) continue;
        const std::string text = shortest(value);
        ASSERT_LE(text.size(), kShortestDoubleMaxLength);
        double back = 0;
        std::from_chars(text.data(), text.data() + text.size(), back);
        ASSERT_EQ(std::bit_cast<uint64_t>(back), std::bit_cast<uint64_t>(value)) << text;
    }
}

TEST(CsvField, QuotesOnlyWhereNeeded) {
    const std::pair<std::string, std::string> cases[] = {{"EngineSpeed", "EngineSpeed"},
                                                         {"", ""},
                                                         {"Speed m2", "Speed m2"},
                                                         {"a,b", "\"a,b\""},
                                                         {"say \"hi\"", "\"say \"\"hi\"\"\""},
                                                         {"two\nlines", "\"two\\x0alines\""},
                                                         {"cr\r", "\"cr\\x0d\""},
                                                         {" padded", "\" padded\""},
                                                         {"padded\t", "\"padded\\x09\""},
                                                         {"\x1b[31m\x7f", "\\x1b[31m\\x7f"},
                                                         {"\"\"", "\"\"\"\"\"\""}};
    for (const auto& [field, expected] : cases) EXPECT_EQ(csvField(field), expected);
    EXPECT_EQ(csvField("\n\n").size(), csvFieldMaxLength(2));  // the room promised is exactly the worst case
}

TEST(Printable, EscapesEveryControlByteWhereverItStands) {
    // A byte to escape at each place of texts of 1 to 19 bytes, so that it
    // falls in every lane of the eight-byte steps and in the tail after them.
    for (const unsigned char special : {0x00, 0x1B, 0x1F, 0x7F}) {
        for (std::size_t size = 1; size < 20; ++size) {
            for (std::size_t at = 0; at < size; ++at) {
                std::string text(size, 'a');
                text[0] = '\xC3';  // UTF-8 and plain bytes around it pass unchanged
                text[at] = static_cast<char>(special);
                const char hex[] = "0123456789abcdef";
                std::string expected =
                    text.substr(0, at) + "\\x" + hex[special >> 4] + hex[special & 0xF] + text.substr(at + 1);
                EXPECT_EQ(printable(text), expected) << size << " " << at;
            }
        }
    }
    EXPECT_EQ(printable(" ~\x80\xFF"
                        "0123456789"),
              " ~\x80\xFF"
              "0123456789");
}

TEST(JsonString, EscapesQuotesBackslashesAndControlCharacters) {
    std::string out;
    appendJsonString(out, std::string("a\"b\\c\nd\te\rf\x01\x1f\x7f\xc3\xa9", 16));
    EXPECT_EQ(out, "\"a\\\"b\\\\c\\nd\\te\\rf\\u0001\\u001F\\u007F\xc3\xa9\"");
}

TEST(CanIdText, CandumpWidthsBothWays) {
    EXPECT_EQ(canIdText({0x12, false}) + canIdText({0x7FF, false}) + canIdText({0x100, true}), "0127FF00000100");
    // Text given, then the ID it names with x for extended, or "-" for none.
    const std::pair<std::string, std::string> cases[] = {{"100", "100"},
                                                         {"0x100", "100"},
                                                         {"7ff", "7FF"},
                                                         {"800", "00000800x"},
                                                         {"00000100", "00000100x"},
                                                         {"0X18fef100", "18FEF100x"},
                                                         {"1FFFFFFF", "1FFFFFFFx"},
                                                         {"20000000", "-"},
                                                         {"", "-"},
                                                         {"0x", "-"},
                                                         {"123456789", "-"},
                                                         {"12g", "-"},
                                                         {"-1", "-"}};
    for (const auto& [text, expected] : cases) {
        const std::optional<CanId> id = parseCanIdArgument(text);
        EXPECT_EQ(id ? canIdText(*id) + (id->extended ? "x" : "") : "-", expected) << text;
    }
}

TEST(ChannelAssignment, SplitsAtTheLastEqualsSign) {
    const std::pair<std::string, std::string> cases[] = {{"Speed=12.5", "Speed|12.5"},
                                                         {"Speed m2=1", "Speed m2|1"},
                                                         {"a=b=3", "a=b|3"},
                                                         {"Speed=", "Speed|"},
                                                         {"Speed", "-"},
                                                         {"=5", "-"}};
    for (const auto& [argument, expected] : cases) {
        const auto split = splitAssignment(argument);
        EXPECT_EQ(split ? std::string(split->name) + "|" + std::string(split->valueText) : "-", expected) << argument;
    }
}

TEST(ChannelAssignment, ValuesAreWholeDecimalNumbers) {
    const std::pair<std::string, double> good[] = {{"12.5", 12.5}, {"-3", -3},   {"+4", 4},         {"1e3", 1000},
                                                   {"0.1", 0.1},   {"-0", -0.0}, {"inf", INFINITY}, {"+.5", 0.5}};
    for (const auto& [text, value] : good) {
        EXPECT_EQ(std::bit_cast<uint64_t>(parseValue(text).value_or(NAN)), std::bit_cast<uint64_t>(value)) << text;
    }
    EXPECT_TRUE(std::isnan(parseValue("nan").value_or(0)));
    for (const std::string bad : {"", "+", "+-1", "1,5", "12x", " 1", "1 ", "0x10", "--1"}) {
        EXPECT_FALSE(parseValue(bad)) << '"' << bad << '"';
    }
}

TEST(CommandLine, OptionsAnywhereWithValuesInBothSpellings) {
    constexpr OptionSpec specs[] = {{"--csv"}, {"--select", true}};
    std::string error;
    const std::string_view arguments[] = {"db.dbc", "--select", "A",          "-",  "-0",
                                          "--csv",  "-9",       "--select=B", "--", "--csv"};
    const auto parsed = parseCommandLine(arguments, specs, error);
    ASSERT_TRUE(parsed) << error;
    EXPECT_EQ(parsed->positionals, (std::vector<std::string_view>{"db.dbc", "-", "-0", "-9", "--csv"}));
    EXPECT_TRUE(parsed->has("--csv"));
    EXPECT_EQ(parsed->values("--select"), (std::vector<std::string>{"A", "B"}));

    const std::pair<std::vector<std::string_view>, std::string> failures[] = {
        {{"--json"}, "unknown option '--json'"},
        {{"--select"}, "option '--select' needs a value"},
        {{"--csv=yes"}, "option '--csv' takes no value"}};
    for (const auto& [failing, message] : failures) {
        EXPECT_FALSE(parseCommandLine(failing, specs, error));
        EXPECT_EQ(error, message);
    }
}

}  // namespace
}  // namespace canxlate::cli
