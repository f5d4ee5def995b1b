// candump and ASC logs: rows of log text and the frames, counts and issue
// positions they must give.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log_test_support.h"

namespace canxlate::logs::test {
namespace {

struct TextCase {
    const char* name;
    std::string text;
    LogFormat format;
    std::vector<std::string> frames;
    uint64_t malformed = 0;
    uint64_t unknownEvents = 0;
    std::vector<uint64_t> issueLines = {};
    ReaderOptions options = {};
};

const std::string kAscHeader =
    "date Tue Nov 14 10:13:20.250 pm 2023\n"
    "base dec  timestamps absolute\n"
    "internal events logged\n"
    "// version 9.0.0\n"
    "Begin Triggerblock Tue Nov 14 10:13:20.250 pm 2023\n";

TEST(TextLogReader, RowsOfLogText) {
    const std::vector<TextCase> cases = {
        {"candump forms, directions, CAN FD flags, remote length",
         "(1.5) can0 123#1122 T\n\n  can1  1ABCDEF0   [2]  AA BB\n(2.000000001) vcan13 7FF##3\n(3.0) can0 123#R5\n",
         LogFormat::kCandump,
         {"1500000 0 123 - tx 2 1122", "0 1 1abcdef0 x - 2 aabb", "2000000 13 7ff fbi - 0 -", "3000000 0 123 r - 5 -"}},
        {"candump malformed lines and timestamps",
         "(1.0) can0 123#1\n(x.5) can0 123#11\n(1.0) can0 123#11 X\n(1.0) can0 123#11\n",
         LogFormat::kCandump,
         {"1000000 0 123 - - 1 11"},
         3,
         0,
         {1, 2, 3}},
        {"candump: bit 30 of an 8-digit ID is no ID bit; bit 31 only repeats that the ID is extended",
         "(1.0) can0 C0000123#00\n(1.0) can0 40000123#00\n  can0  40000123   [1]  00\n(1.0) can0 80000123#11\n",
         LogFormat::kCandump,
         {"1000000 0 123 x - 1 11"},
         3,
         0,
         {1, 2, 3}},
        {"candump: bytes with dots, zeros after them",
         "(1.0) can0 123#11.22.33\n",
         LogFormat::kCandump,
         {"1000000 0 123 - - 3 112233"}},
        {"candump: timestamps that share their whole seconds, their decimals checked all the same",
         "(7.5) can0 123#\n(7.25x) can0 123#\n(7.) can0 123#\n(7.000002) can0 123#\n(70.5) can0 123#\n",
         LogFormat::kCandump,
         {"7500000 0 123 - - 0 -", "7000002 0 123 - - 0 -", "70500000 0 123 - - 0 -"},
         2,
         0,
         {2, 3}},
        {"candump error frames counted and skipped on request",
         "(1.0) can0 20000080#0000000000000000\n(2.0) can0 80000001#R\n",
         LogFormat::kCandump,
         {},
         0,
         0,
         {1, 2},
         {.skipRemoteFrames = true, .skipErrorFrames = true}},
        {"ASC with a date, decimal numbers, CAN FD with a name, remote and error frames",
         kAscHeader + "   0.000000 Start of measurement\n"
                      "   0.001000 1  256             Rx   d 2 1 255\n"
                      "   0.002000 2  Statistic: D 0 R 0\n"
                      "   0.003000 CANFD   1 Rx        291  SomeName   1 0 9 12 0 1 2 3 4 5 6 7 8 9 10 11\n"
                      "   0.004000 2  291x  Tx   r 8\n"
                      "   0.005000 1  ErrorFrame\n"
                      "End TriggerBlock\n",
         LogFormat::kAsc,
         {"1700000000251000 0 100 - rx 2 01ff", "1700000000253000 0 123 fb rx 12 000102030405060708090a0b",
          "1700000000254000 1 123 xr tx 8 -", "1700000000255000 0 error"},
         0,
         1,
         {8}},
        {"ASC relative timestamps add up past a malformed line, CAN FD flags field tells classic frames",
         "base hex  timestamps relative\n0.5 1 10 Rx d 1 AA\n0.25 1 10 Rx d 1 BB\n0.125 1 10 Rx d 1 GG\n"
         "0.25 CANFD 1 Tx 10 0 0 2 2 01 02 0 0 0 0\n",
         LogFormat::kAsc,
         {"500000 0 10 - rx 1 aa", "750000 0 10 - rx 1 bb", "1000000 0 10 - tx 2 0102"},
         1,
         0,
         {4}},
        {"ASC malformed lines keep their numbers",
         "base hex timestamps absolute\n1.0 1 1G Rx d 1 AA\n1.0 1 10 Rx d 2 AA\ngarbage line\n1.0 1 800 Rx d 0\n"
         "1.0 CANFD 1 Rx 10 1 0 8 65 00\n2.0 1 10 Rx d 1 CC\n",
         LogFormat::kAsc,
         {"2000000 0 10 - rx 1 cc"},
         5,
         0,
         {2, 3, 4, 5, 6}},
        {"candump: lone CR and CR LF line ends; 9 bytes after one #, flags digit 8, a DLC suffix below 9 refused",
         "(1.0) can0 001#01\r(1.0) can0 002#02\r\n(1.0) can0 003#010203040506070809\n(1.0) can0 004##8\r"
         "(1.0) can0 005##5AA\n(1.0) can0 007#R\r(1.0) can0 008#1122334455667788_4\n",
         LogFormat::kCandump,
         {"1000000 0 1 - - 1 01", "1000000 0 2 - - 1 02", "1000000 0 5 fb - 1 aa", "1000000 0 7 r - 0 -"},
         3,
         0,
         {3, 4, 7}},
        {"ASC: text after the data, channel 99999999, named values after it, CANFD without EDL, a length for a DLC",
         "base hex timestamps absolute\n1.0 1 10 Rx d 2 11 22 GARBAGE\n1.0 99999999 10 Rx d 1 11\n"
         "1.0 1 6F9 Rx d 1 05  Length = 240015 BitCount = 124 ID = 1785\n1.0 2 100 Tx r Length = 1 BitCount = 2 ID = "
         "256\n1.0 CANFD 1 Rx 20 1 0 9 12 0 1 2 3 4 5 6 7 8 9 A B 0 0 0 0\n1.0 CANFD 1 Rx 21 1 1 2 2 1 2 0 0 0 0\n"
         "1.0 CANFD 1 Rx 22 0 0 2 2 1 2 0 0 1000 0 X\n1.0 1 23 Rx d C 0 1 2 3 4 5 6 7\n"
         "1.0 1 24 Rx d 10 0 1 2 3 4 5 6 7 8 9 A B C D E F\n",
         LogFormat::kAsc,
         {"1000000 0 6f9 - rx 1 05", "1000000 1 100 r tx 0 -", "1000000 0 20 fb rx 12 000102030405060708090a0b",
          "1000000 0 21 - rx 2 0102", "1000000 0 23 - rx 8 0001020304050607",
          "1000000 0 24 f rx 16 000102030405060708090a0b0c0d0e0f"},
         3,
         0,
         {2, 3, 8, 10}},
        {"ASC recognised by a first line with a timestamp; undated",
         "\n  1.0 1 7FF Rx d 0\n",
         LogFormat::kAsc,
         {"1000000 0 7ff - rx 0 -"}},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ReadResult result = readLog(c.text, c.options);
        EXPECT_EQ(result.format, c.format);
        EXPECT_EQ(result.described, c.frames);
        EXPECT_EQ(result.counts.malformed, c.malformed);
        EXPECT_EQ(result.counts.unknownEvents, c.unknownEvents);
        std::vector<uint64_t> lines;
        for (const ReadIssue& issue : result.issues) {
            EXPECT_TRUE(issue.positionIsLine);
            lines.push_back(issue.position);
        }
        EXPECT_EQ(lines, c.issueLines);
    }
}

// Error frames as SocketCAN has them: the class in the ID, 8 data bytes; logs
// that only say "error frame" give a bus error (0x80) with zeros.
TEST(TextLogReader, ErrorFramesCarryTheirClass) {
    const struct {
        std::string text;
        uint32_t errorClass;
        std::vector<uint8_t> data;
    } cases[] = {
        {"(1.0) can0 20000004#0004000000000000\n", 0x4, {0, 4, 0, 0, 0, 0, 0, 0}},
        {"(1.0) can0 20000080#\n", 0x80, {}},
        {"base hex\n1.0 1 ErrorFrame ECC: 10100010\n", 0x80, std::vector<uint8_t>(8)},
        {"base hex\n1.0 CANFD 5 Tx ErrorFrame Not Acknowledge error\n", 0x80, std::vector<uint8_t>(8)},
    };
    for (const auto& c : cases) {
        const ReadResult result = readLog(c.text);
        ASSERT_EQ(result.frames.size(), 1u) << c.text;
        const FrameRecord& frame = result.frames[0];
        EXPECT_EQ(frame.flags, kErrorFrame) << c.text;
        EXPECT_EQ(frame.id, c.errorClass) << c.text;
        EXPECT_EQ(std::vector<uint8_t>(frame.data, frame.data + frame.length), c.data) << c.text;
    }
}

// Interfaces keep their names; a name ending in a number taken already gets
// the lowest free one; past 4096 names, frames are refused with their line.
TEST(TextLogReader, InterfaceNamesGetChannelsUpToACap) {
    std::string text = "(1.0) vcan1 001#\n(1.0) can1 001#\n(1.0) can0 001#\n(1.0) vcan1 001#\n";
    for (int i = 0; i < 4096; ++i) text += "(1.0) x" + std::to_string(i) + "y 001#\n";
    MemorySource source(text.data(), text.size());
    auto reader = openFrameReader(source);
    std::vector<FrameRecord> frames(5000);
    frames.resize(reader->read(frames.data(), frames.size()));
    ASSERT_EQ(frames.size(), 4097u);
    EXPECT_EQ(reader->counts().malformed, 3u);
    EXPECT_EQ(std::vector<int>({frames[0].channel, frames[1].channel, frames[2].channel, frames[3].channel}),
              std::vector<int>({1, 0, 2, 1}));
    EXPECT_STREQ(reader->channelName(2), "can0");
    EXPECT_STREQ(reader->channelName(frames.back().channel), "x4092y");
}

// .log.gz and .asc.gz, recognised by the gzip magic bytes; members one after
// another read as one text; a cut-off member is a read error.
TEST(TextLogReader, GzipCompressedLogsAreReadThroughTheirText) {
    const std::string twoMembers(
        "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xd3\x30\xd4\x33\xd5\x54\x48\x4e\xcc\x33\x50\x30\x34\x32\x56\x36"
        "\x34\x34\x32\xe2\x02\x00\xab\xe2\x60\x3c\x14\x00\x00\x00\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xd3\x30"
        "\xd2\x33\xd0\x54\x48\x4e\xcc\x33\x54\x30\x34\x32\x51\x36\x36\xe6\x02\x00\x6e\xb6\x03\xb9\x12\x00\x00\x00",
        78);
    const std::string asc(
        "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\x4b\x4a\x2c\x4e\x55\xc8\x48\xad\xe0\x32\xd4\x33\x50\x30\x54\x30"
        "\x34\x50\x08\xaa\x50\x48\x01\xb2\x1c\x1d\xb9\x00\xa4\x92\xd5\x0f\x1c\x00\x00\x00",
        46);
    const struct {
        std::string bytes;
        LogFormat format;
        std::vector<std::string> frames;
        bool fatal;
    } cases[] = {
        {twoMembers, LogFormat::kCandump, {"1500000 0 123 - - 2 1122", "2000000 1 124 - - 1 33"}, false},
        {asc, LogFormat::kAsc, {"1000000 0 10 - rx 1 aa"}, false},
        {twoMembers.substr(0, 30), LogFormat::kCandump, {}, true},
    };
    for (const auto& c : cases) {
        const ReadResult result = readLog(c.bytes);
        EXPECT_EQ(result.format, c.format);
        EXPECT_EQ(result.described, c.frames);
        EXPECT_EQ(!result.issues.empty() && result.issues.back().kind == IssueKind::kFatal, c.fatal);
    }
}

TEST(TextLogReader, SkippedFramesAreCounted) {
    const ReadResult result = readLog("(1.0) can0 20000080#00\n(2.0) can0 001#R\n(3.0) can0 001#R\n",
                                      {.skipRemoteFrames = true, .skipErrorFrames = false});
    EXPECT_EQ(result.described, std::vector<std::string>{"1000000 0 error"});
    EXPECT_EQ(result.counts.errorFrames, 1u);
    EXPECT_EQ(result.counts.remoteFrames, 2u);
    EXPECT_EQ(result.counts.skippedFrames, 2u);
}

TEST(TextLogReader, TenMegabyteLinesAreCutAndCounted) {
    for (const auto& [first, last] : {std::pair<std::string, std::string>{"(1.0) can0 001#", "(2.0) can0 002#22\n"},
                                      {"base hex\n1.0 1 1 Rx d 8 ", "2.0 1 2 Rx d 1 22\n"}}) {
        std::string text = first + std::string(10 << 20, '1') + "\n" + last;
        const ReadResult result = readLog(text);
        ASSERT_EQ(result.described.size(), 1u) << first;
        EXPECT_EQ(result.frames[0].id, 2u);
        EXPECT_EQ(result.counts.malformed, 1u);
        ASSERT_EQ(result.issues.size(), 1u);
        EXPECT_STREQ(result.issues[0].message, "line too long");
    }
}

}  // namespace
}  // namespace canxlate::logs::test
