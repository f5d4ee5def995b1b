// Every writer's output read back gives the frames written: times to the
// nanosecond, channels, flags, directions and data.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "canxlate/logs/blf_layout.h"
#include "canxlate/logs/byte_sink.h"
#include "canxlate/logs/frame_writer.h"
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
    if (!data.empty()) std::memcpy(record.data, data.data(), data.size());
    record.dlc = dlc != 0 ? dlc : record.length;
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
        frame(start + 2000000, 2, 0x100, kFlexibleData | kBitRateSwitch, tx, bytes(12), 9),
        frame(start + 3000001, 0, 0x1F, kExtendedId | kFlexibleData | kErrorStateIndicator, rx, bytes(64, 100), 15),
        frame(start + 4000000, 0, 0x200, kFlexibleData, rx, {}),
        frame(start + 5000000, 1, kBusErrorClass, kErrorFrame, Direction::kUnknown, std::vector<uint8_t>(8)),
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
                               i % 5 == 0 ? kFlexibleData : 0, Direction::kReceived, bytes(i % 5 == 0 ? 20 : 8, i),
                               i % 5 == 0 ? 11 : 8));
    const ReadResult result = readLog(writeLog(LogFormat::kBlf, frames));
    ASSERT_EQ(result.frames.size(), frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i) ASSERT_EQ(result.described[i], describe(frames[i])) << i;
    EXPECT_TRUE(result.issues.empty());
}

// ASC and BLF count from the first frame: an earlier one is written at the
// start and counted. Written to a file, the BLF header gets the final counts.
TEST(RoundTrip, FramesBeforeTheFirstAreRaisedToItAndCounted) {
    const std::vector<FrameRecord> frames = {frame(10000000000, 0, 1, 0, Direction::kReceived, bytes(1)),
                                             frame(9000000000, 0, 2, 0, Direction::kReceived, bytes(1))};
    for (LogFormat format : {LogFormat::kCandump, LogFormat::kAsc, LogFormat::kBlf}) {
        SCOPED_TRACE(formatName(format));
        std::FILE* file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        StdioSink sink(file);
        auto writer = openFrameWriter(format, sink);
        ASSERT_TRUE(writer->write(frames.data(), frames.size()));
        ASSERT_TRUE(writer->finish());
        EXPECT_EQ(writer->framesWritten(), 2u);
        const bool raised = format != LogFormat::kCandump;
        EXPECT_EQ(writer->timestampsRaised(), raised ? 1u : 0u);
        std::rewind(file);
        StdioSource source(file);
        auto reader = openFrameReader(source);
        FrameRecord back[3];
        ASSERT_EQ(reader->read(back, 3), 2u);
        EXPECT_EQ(back[1].timestampNs, raised ? 10000000000 : 9000000000);
        EXPECT_FALSE(reader->failed());
        if (format == LogFormat::kBlf) {
            uint8_t header[40];
            std::rewind(file);
            ASSERT_EQ(std::fread(header, 1, sizeof header, file), sizeof header);
            std::fseek(file, 0, SEEK_END);
            EXPECT_EQ(blf::get64(header + 16), static_cast<uint64_t>(std::ftell(file)));  // file size
            EXPECT_EQ(blf::get32(header + 32), 2u);                                       // objects
        }
        std::fclose(file);
    }
}

}  // namespace
}  // namespace canxlate::logs::test
