// Every writer's output read back gives the frames written: times to the
// nanosecond, channels, flags, directions and data.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "log_test_support.h"

namespace canxlate::logs::test {
namespace {

FrameRecord frame(int64_t ns, uint16_t channel, uint32_t id, uint16_t flags, Direction direction,
                  std::vector<uint8_t> data, uint8_t dlc = 0) {
    FrameRecord record;
    record.timestampNs = ns;
    record.seconds = static_cast<double>(ns) / 1e9;
    record.channel = channel;
    record.id = id;
    record.flags = flags;
    record.direction = direction;
    record.length = static_cast<uint8_t>(data.size());
    std::memcpy(record.data, data.data(), data.size());
    record.dlc = dlc != 0
                     ? dlc
                     : static_cast<uint8_t>((flags & kFlexibleData) != 0 ? dlcOfLength(record.length) : record.length);
    return record;
}

std::vector<uint8_t> bytes(int count, int first = 0) {
    std::vector<uint8_t> data;
    for (int i = 0; i < count; ++i) data.push_back(static_cast<uint8_t>(first + i));
    return data;
}

std::vector<FrameRecord> sampleFrames() {
    const int64_t start = 1700000000123456789;
    const auto rx = Direction::kReceived;
    const auto tx = Direction::kTransmitted;
    return {
        frame(start, 0, 0x123, 0, rx, bytes(8)),
        frame(start + 1, 1, 0x1ABCDEF0, kExtendedId, tx, bytes(3, 0xF0)),
        frame(start + 1000, 0, 0x7FF, kRemoteFrame, rx, {}, 4),
        frame(start + 2000000, 2, 0x100, kFlexibleData | kBitRateSwitch, tx, bytes(12)),
        frame(start + 3000001, 0, 0x1F, kExtendedId | kFlexibleData | kErrorStateIndicator, rx, bytes(64, 100)),
        frame(start + 4000000, 0, 0x200, kFlexibleData, rx, {}),
        frame(start + 5000000, 1, 0x0, kErrorFrame, rx, {}),
        frame(start + 7200 * 1000000000LL, 0, 0x0, 0, rx, {}),
        frame(start + 7200 * 1000000000LL + 1, 0, 0x55, 0, tx, bytes(8, 1), 15),
    };
}

TEST(RoundTrip, EachFormatGivesBackWhatWasWritten) {
    const std::vector<FrameRecord> frames = sampleFrames();
    std::vector<std::string> expected;
    for (const FrameRecord& record : frames) expected.push_back(describe(record));
    for (LogFormat format : {LogFormat::kCandump, LogFormat::kAsc, LogFormat::kBlf}) {
        SCOPED_TRACE(formatName(format));
        const ReadResult result = readLog(writeLog(format, frames));
        EXPECT_EQ(result.format, format);
        EXPECT_EQ(result.described, expected);
        ASSERT_EQ(result.frames.size(), frames.size());
        for (std::size_t i = 0; i < frames.size(); ++i) {
            EXPECT_EQ(result.frames[i].timestampNs, frames[i].timestampNs) << i;
            if (!frames[i].has(kErrorFrame)) {
                EXPECT_EQ(result.frames[i].dlc, frames[i].dlc) << i;
            }
        }
        EXPECT_TRUE(result.issues.empty());
    }
}

// Enough frames for several compressed containers, with objects continuing
// from one into the next.
TEST(RoundTrip, ManyContainers) {
    std::vector<FrameRecord> frames;
    for (int i = 0; i < 10000; ++i)
        frames.push_back(frame(i * 1000LL, static_cast<uint16_t>(i % 3), static_cast<uint32_t>(i % 0x800),
                               i % 5 == 0 ? kFlexibleData : 0, Direction::kReceived, bytes(i % 5 == 0 ? 20 : 8, i)));
    const ReadResult result = readLog(writeLog(LogFormat::kBlf, frames));
    ASSERT_EQ(result.frames.size(), frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i) ASSERT_EQ(result.described[i], describe(frames[i])) << i;
    EXPECT_TRUE(result.issues.empty());
}

}  // namespace
}  // namespace canxlate::logs::test
