// The candump line parser on its own: what each form of line yields, and
// which lines are refused.
#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <string>

#include "log_line_parser.h"

namespace canxlate::cli {
namespace {

using Payload = std::array<uint8_t, 8>;

struct FrameCase {
    std::string line;
    std::string timestamp;
    std::string interfaceName;
    uint32_t id;
    bool extended;
    FrameKind kind;
    uint8_t length;
    Payload payload;
};

// Test names show the line rather than the bytes of the case.
void PrintTo(const FrameCase& c, std::ostream* out) {
    *out << '"';
    for (char ch : c.line) {
        if (ch == '\t') {
            *out << "\\t";
        } else if (ch == '\r') {
            *out << "\\r";
        } else {
            *out << ch;
        }
    }
    *out << '"';
}

class ParsesFrame : public ::testing::TestWithParam<FrameCase> {};

TEST_P(ParsesFrame, Fields) {
    const FrameCase& c = GetParam();
    const ParsedLine parsed = parseLogLine(c.line);
    ASSERT_EQ(parsed.kind, LineKind::kFrame) << parsed.problem;
    EXPECT_EQ(parsed.frame.timestamp, c.timestamp);
    EXPECT_EQ(parsed.frame.interfaceName, c.interfaceName);
    EXPECT_EQ(parsed.frame.id, c.id);
    EXPECT_EQ(parsed.frame.extended, c.extended);
    EXPECT_EQ(parsed.frame.kind, c.kind);
    EXPECT_EQ(parsed.frame.length, c.length);
    EXPECT_EQ(parsed.frame.payload, c.payload);
}

constexpr Payload kCounting = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};

INSTANTIATE_TEST_SUITE_P(
    LogFileForm, ParsesFrame,
    ::testing::Values(
        FrameCase{"(1700000000.123456) can0 123#1122334455667788", "1700000000.123456", "can0", 0x123, false,
                  FrameKind::kData, 8, kCounting},
        FrameCase{"(1.0) vcan0 1ABCDEF0#1122334455667788", "1.0", "vcan0", 0x1ABCDEF0, true, FrameKind::kData, 8,
                  kCounting},
        FrameCase{"(1.0) can0 7ff#aBcD", "1.0", "can0", 0x7FF, false, FrameKind::kData, 2, {0xAB, 0xCD}},
        FrameCase{"(1.0) can0 000#", "1.0", "can0", 0, false, FrameKind::kData, 0, {}},
        FrameCase{"(1.0) can0 123#11.22.33", "1.0", "can0", 0x123, false, FrameKind::kData, 3, {0x11, 0x22, 0x33}},
        FrameCase{"(1.0) can0 123#1122334455667788_C", "1.0", "can0", 0x123, false, FrameKind::kData, 8, kCounting},
        FrameCase{"(1.0) can0 123#1122\r", "1.0", "can0", 0x123, false, FrameKind::kData, 2, {0x11, 0x22}},
        FrameCase{"can0 123#11  ", "", "can0", 0x123, false, FrameKind::kData, 1, {0x11}},
        // Bits above the 29 of an extended ID are dropped, except the error flag.
        FrameCase{"(1.0) can0 80000123#11", "1.0", "can0", 0x123, true, FrameKind::kData, 1, {0x11}},
        FrameCase{"(1.0) can0 123#R", "1.0", "can0", 0x123, false, FrameKind::kRemote, 0, {}},
        FrameCase{"(1.0) can0 123#R4", "1.0", "can0", 0x123, false, FrameKind::kRemote, 0, {}},
        FrameCase{"(1.0) can0 123##01122334455667788", "1.0", "can0", 0x123, false, FrameKind::kData, 8, kCounting},
        FrameCase{"(1.0) can0 123##1112233445566778899", "1.0", "can0", 0x123, false, FrameKind::kFlexibleData, 9,
                  kCounting},
        FrameCase{"(1.0) can0 123#112233445566778899AABBCC", "1.0", "can0", 0x123, false, FrameKind::kFlexibleData, 12,
                  kCounting},
        FrameCase{"(1.0) can0 20000004#0004000000000000", "1.0", "can0", 4, true, FrameKind::kError, 8,
                  {0, 4, 0, 0, 0, 0, 0, 0}}));

INSTANTIATE_TEST_SUITE_P(
    ScreenForm, ParsesFrame,
    ::testing::Values(
        FrameCase{"  can0  123   [8]  11 22 33 44 55 66 77 88", "", "can0", 0x123, false, FrameKind::kData, 8,
                  kCounting},
        FrameCase{"  can0  1ABCDEF0   [2]  11 22", "", "can0", 0x1ABCDEF0, true, FrameKind::kData, 2, {0x11, 0x22}},
        FrameCase{"  can0  123   [0]", "", "can0", 0x123, false, FrameKind::kData, 0, {}},
        FrameCase{" (1700000000.123456)  can0  123   [1]  11", "1700000000.123456", "can0", 0x123, false,
                  FrameKind::kData, 1, {0x11}},
        FrameCase{" (2023-11-14 22:13:20.123456)  can0  123   [1]  11", "2023-11-14 22:13:20.123456", "can0", 0x123,
                  false, FrameKind::kData, 1, {0x11}},
        FrameCase{"  can0  123   [3]  41 42 43   'ABC'", "", "can0", 0x123, false, FrameKind::kData, 3,
                  {0x41, 0x42, 0x43}},
        FrameCase{"\tcan0\t123\t[1]\t11\t\r", "", "can0", 0x123, false, FrameKind::kData, 1, {0x11}},
        FrameCase{"  can0  123   [4]  remote request", "", "can0", 0x123, false, FrameKind::kRemote, 0, {}},
        FrameCase{"  can0  123  [08]  11 22 33 44 55 66 77 88", "", "can0", 0x123, false, FrameKind::kData, 8,
                  kCounting},
        FrameCase{"  can0  123  [12]  11 22 33 44 55 66 77 88 99 AA BB CC", "", "can0", 0x123, false,
                  FrameKind::kFlexibleData, 12, kCounting},
        FrameCase{"  can0  20000004   [8]  00 04 00 00 00 00 00 00   ERRORFRAME", "", "can0", 4, true,
                  FrameKind::kError, 0, {}}));

TEST(LogLineParser, BlankLinesAreNeitherFramesNorMalformed) {
    for (const std::string line : {"", " ", "\t \r", "\r"}) {
        EXPECT_EQ(parseLogLine(line).kind, LineKind::kBlank) << '"' << line << '"';
    }
}

TEST(LogLineParser, MalformedLinesSayWhy) {
    struct Case {
        std::string line;
        std::string problem;
    };
    const Case cases[] = {
        {"(1.0 can0 123#11", "timestamp without closing parenthesis"},
        {"() can0 123#11", "empty timestamp"},
        {"(1.0)can0 123#11", "no blank after the timestamp"},
        {"(1.0) can0", "no frame after the interface name"},
        {"(1.0) can0 12#11", "CAN ID must have 3 or 8 hex digits"},
        {"(1.0) can0 1234#11", "CAN ID must have 3 or 8 hex digits"},
        {"(1.0) can0 12G#11", "CAN ID is not hexadecimal"},
        {"(1.0) can0 800#11", "standard CAN ID above 7FF"},
        {"(1.0) can0 123#1", "odd number of hex digits in the data"},
        {"(1.0) can0 123#11G2", "data is not hexadecimal"},
        {"(1.0) can0 123#.11", "data is not hexadecimal"},
        {"(1.0) can0 123#" + std::string(130, '0'), "more than 64 data bytes"},
        {"(1.0) can0 123#11_C", "misplaced DLC suffix"},
        {"(1.0) can0 123#R#", "unexpected text after a remote request"},
        {"(1.0) can0 123##", "CAN FD frame without its flags digit"},
        {"(1.0) can0 123#11 extra", "unexpected text after the frame"},
        {"  can0  123   11 22", "neither ID#DATA nor a length in brackets"},
        {"  can0  123   [x]  11", "bad length in brackets"},
        {"  can0  123   [99]", "length above 64"},
        {"  can0  123   [2]  11", "fewer data bytes than the length says"},
        {"  can0  123   [2]  1122", "data bytes must be separated by blanks"},
        {"  can0  123   [1]  112", "data byte with more than 2 hex digits"},
        {"  can0  123   [1]  11 22", "more data bytes than the length says"},
        {"  can0  123   [1]  1x", "data is not hexadecimal"},
        {"  can0  123   [0]  remote request please", "unexpected text after a remote request"},
    };
    for (const Case& c : cases) {
        const ParsedLine parsed = parseLogLine(c.line);
        EXPECT_EQ(parsed.kind, LineKind::kMalformed) << c.line;
        EXPECT_EQ(parsed.problem, c.problem) << c.line;
    }
}

}  // namespace
}  // namespace canxlate::cli
