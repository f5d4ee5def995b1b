// Converting between formats loses nothing: for generated frame sequences,
// every frame that a format accepts comes back whole through any pair of
// formats, and every frame it cannot hold is refused, never shortened.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "canxlate/logs/byte_sink.h"
#include "canxlate/logs/frame_writer.h"
#include "log_test_support.h"

namespace canxlate::logs::test {
namespace {

constexpr LogFormat kFormats[] = {LogFormat::kCandump, LogFormat::kAsc, LogFormat::kBlf};

// Everything a frame is, one field after another. ASC and BLF give every
// frame a direction: an unknown one is read as received.
std::string everything(const FrameRecord& r, bool directionAlwaysKnown) {
    Direction direction = r.direction;
    if (directionAlwaysKnown && direction == Direction::kUnknown && !r.has(kErrorFrame))
        direction = Direction::kReceived;
    char text[64];
    std::snprintf(text, sizeof text, "%lld ch%u id%x f%x d%d dlc%u len%u ", static_cast<long long>(r.timestampNs),
                  r.channel, r.id, r.flags, static_cast<int>(direction), r.dlc, r.length);
    std::string all = text;
    for (int i = 0; i < r.length; ++i) all += std::to_string(r.data[i]) + '.';
    return all;
}

// Mostly frames some format holds, a few that none does.
FrameRecord randomFrame(std::mt19937& random, int64_t& ns) {
    FrameRecord r;
    ns += 1 + static_cast<int64_t>(random() % 2000000000);
    r.timestampNs = ns;
    r.seconds = static_cast<double>(ns) / 1e9;
    r.channel = static_cast<uint16_t>(random() % 20 == 0 ? 65535 : random() % 4);
    r.direction = static_cast<Direction>(random() % 3);
    const bool extended = random() % 2 == 0;
    r.id = static_cast<uint32_t>(random()) & (extended ? kExtendedIdMask : kLargestStandardId);
    if (extended) r.flags |= kExtendedId;
    switch (random() % 10) {
        case 0:  // error frame
            r.flags = kErrorFrame;
            r.id = random() % 2 == 0 ? kBusErrorClass : static_cast<uint32_t>(random()) & kExtendedIdMask;
            r.length = static_cast<uint8_t>(random() % 2 == 0 ? 8 : random() % 9);
            if (random() % 2 == 0) r.direction = Direction::kUnknown;
            break;
        case 1:  // remote
            r.flags |= kRemoteFrame;
            r.dlc = static_cast<uint8_t>(random() % 16);
            break;
        case 2:
        case 3:
        case 4:  // CAN FD
            r.flags |= kFlexibleData | (random() % 2 == 0 ? kBitRateSwitch : 0) |
                       (random() % 2 == 0 ? kErrorStateIndicator : 0);
            r.length = static_cast<uint8_t>(random() % 65);
            r.dlc = static_cast<uint8_t>(dlcOfLength(r.length));
            break;
        case 5:  // none holds it
            if (extended)
                r.id |= 0x20000000;
            else
                r.id |= 0x800;
            break;
        default:
            r.length = static_cast<uint8_t>(random() % 9);
            r.dlc = r.length == 8 && random() % 2 == 0 ? static_cast<uint8_t>(9 + random() % 7) : r.length;
    }
    const bool zeros = r.has(kErrorFrame) && random() % 2 == 0;
    for (int i = 0; i < r.length; ++i) r.data[i] = zeros ? 0 : static_cast<uint8_t>(random());
    if (r.has(kErrorFrame)) r.dlc = r.length;
    return r;
}

std::vector<FrameRecord> readBack(const std::string& bytes) {
    ReadResult result = readLog(bytes);
    EXPECT_EQ(result.counts.malformed, 0u);
    return result.frames;
}

TEST(ConversionProperty, AcceptedFramesComeBackWholeThroughEveryPairOfFormats) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        std::mt19937 random(seed);
        // Some logs start after 2200, a date no header takes: they count from 1970.
        int64_t ns =
            (seed % 4 == 0 ? 8589208915000000000 : 1700000000000000000) + static_cast<int64_t>(random() % 1000000000);
        std::vector<FrameRecord> generated;
        for (int i = 0; i < 200; ++i) generated.push_back(randomFrame(random, ns));
        MemorySink unused;
        std::unique_ptr<FrameWriter> writers[3];
        for (LogFormat format : kFormats) writers[static_cast<int>(format)] = openFrameWriter(format, unused);
        for (LogFormat from : kFormats) {
            for (LogFormat to : kFormats) {
                SCOPED_TRACE(std::string(formatName(from)) + " to " + formatName(to) + ", seed " +
                             std::to_string(seed));
                std::vector<FrameRecord> frames;
                for (const FrameRecord& r : generated)
                    if (writers[static_cast<int>(from)]->refusal(r) == nullptr &&
                        writers[static_cast<int>(to)]->refusal(r) == nullptr)
                        frames.push_back(r);
                ASSERT_GT(frames.size(), generated.size() / 2);
                const std::vector<FrameRecord> back = readBack(writeLog(to, readBack(writeLog(from, frames))));
                ASSERT_EQ(back.size(), frames.size());
                const bool directionAlwaysKnown = from != LogFormat::kCandump || to != LogFormat::kCandump;
                for (std::size_t i = 0; i < frames.size(); ++i)
                    ASSERT_EQ(everything(back[i], false), everything(frames[i], directionAlwaysKnown)) << i;
            }
        }
    }
}

TEST(ConversionProperty, FramesAFormatCannotHoldAreRefusedWhole) {
    auto frame = [](uint32_t id, uint16_t flags, uint8_t length, uint8_t dlc, uint16_t channel = 0) {
        FrameRecord r;
        r.id = id;
        r.flags = flags;
        r.length = length;
        r.dlc = dlc;
        r.channel = channel;
        return r;
    };
    const struct {
        FrameRecord record;
        bool refusedBy[3];  // candump, ASC, BLF
    } cases[] = {
        {frame(0x800, 0, 1, 1), {true, true, true}},                             // standard ID of 12 bits
        {frame(0x123, 0, 9, 9), {true, true, true}},                             // classic frame of 9 bytes
        {frame(0x123, kBitRateSwitch, 1, 1), {true, true, true}},                // bit rate switch on a classic frame
        {frame(0x123, kRemoteFrame | kFlexibleData, 0, 0), {true, true, true}},  // CAN FD remote
        {frame(0x4, kErrorFrame, 8, 8), {false, true, false}},                   // error class 4: ASC has none
        {frame(0x80, kErrorFrame, 8, 8), {false, false, false}},                 // bus error without details
        {frame(0x0, kErrorFrame, 0, 0), {false, true, true}},                    // class 0
        {frame(0x123, kFlexibleData, 12, 15), {true, false, false}},             // DLC beyond the length
        {frame(0x123, 0, 8, 8, 65535), {false, false, true}},                    // channel 65536
        {frame(0x1FFFFFFF, kExtendedId, 8, 15), {false, false, false}},
    };
    for (const auto& c : cases) {
        for (LogFormat format : kFormats) {
            MemorySink sink;
            auto writer = openFrameWriter(format, sink);
            const bool refused = c.refusedBy[static_cast<int>(format)];
            EXPECT_EQ(writer->refusal(c.record) != nullptr, refused)
                << everything(c.record, false) << formatName(format);
            EXPECT_EQ(writer->write(&c.record, 1), !refused);
        }
    }
}

}  // namespace
}  // namespace canxlate::logs::test
