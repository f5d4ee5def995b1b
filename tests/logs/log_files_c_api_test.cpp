// The log readers and writers through libcanxlate's C interface: what the
// columns hold must be what the internal readers deliver, field by field.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "canxlate.h"
#include "log_test_support.h"

namespace canxlate::logs::test {
namespace {

struct Columns {
    explicit Columns(size_t capacity)
        : ns(capacity),
          seconds(capacity),
          ids(capacity),
          extended(capacity),
          lengths(capacity),
          payloads(capacity * CXL_LOG_PAYLOAD_STRIDE),
          flags(capacity),
          channels(capacity),
          dlcs(capacity) {
        frames = cxl_frames{capacity,       0,
                            ns.data(),      seconds.data(),
                            ids.data(),     extended.data(),
                            lengths.data(), payloads.data(),
                            flags.data(),   channels.data(),
                            dlcs.data()};
    }
    // Frame f as a record, so that describe() spells it as the tables do.
    FrameRecord record(size_t f) const {
        FrameRecord r;
        r.timestampNs = ns[f];
        r.seconds = seconds[f];
        r.id = ids[f];
        r.flags = flags[f] & 0x3F;
        r.direction = (flags[f] & CXL_FRAME_TX)   ? Direction::kTransmitted
                      : (flags[f] & CXL_FRAME_RX) ? Direction::kReceived
                                                  : Direction::kUnknown;
        r.channel = channels[f];
        r.dlc = dlcs[f];
        r.length = lengths[f];
        std::memcpy(r.data, &payloads[f * CXL_LOG_PAYLOAD_STRIDE], r.length);
        return r;
    }
    std::vector<int64_t> ns;
    std::vector<double> seconds;
    std::vector<uint32_t> ids;
    std::vector<uint8_t> extended, lengths, payloads;
    std::vector<uint16_t> flags, channels;
    std::vector<uint8_t> dlcs;
    cxl_frames frames;
};

// Every frame of a log through the C reader, in batches of three.
std::vector<FrameRecord> readThroughC(const std::string& path, int32_t expectedFormat) {
    cxl_log_reader* reader = nullptr;
    EXPECT_EQ(cxl_log_open_file(path.c_str(), CXL_LOG_AUTO, 0, nullptr, nullptr, &reader), CXL_OK) << path;
    if (reader == nullptr) return {};
    EXPECT_EQ(cxl_log_format(reader), expectedFormat);
    std::vector<FrameRecord> records;
    Columns columns(3);
    while (cxl_log_read(reader, &columns.frames) == CXL_OK && columns.frames.count > 0)
        for (size_t f = 0; f < columns.frames.count; ++f) {
            EXPECT_EQ(columns.extended[f] != 0, (columns.flags[f] & CXL_FRAME_EXTENDED) != 0);
            records.push_back(columns.record(f));
        }
    cxl_log_counts counts{};
    EXPECT_EQ(cxl_log_get_counts(reader, &counts), CXL_OK);
    EXPECT_EQ(counts.frames, records.size());
    cxl_log_close(reader);
    return records;
}

std::vector<std::string> described(const std::vector<FrameRecord>& records) {
    std::vector<std::string> lines;
    for (const FrameRecord& record : records) lines.push_back(describe(record));
    return lines;
}

const struct {
    const char* file;
    int32_t format;
} kSamples[] = {{"sample.log", CXL_LOG_CANDUMP}, {"sample.asc", CXL_LOG_ASC}, {"sample.blf", CXL_LOG_BLF}};

TEST(LogFilesCApi, ColumnsHoldWhatTheReadersDeliverAndWritersTakeThemBack) {
    for (const auto& sample : kSamples) {
        const std::string path = std::string(CANXLATE_LOG_DATA_DIR "/") + sample.file;
        const std::vector<std::string> expected = readLog(readFile(path)).described;
        const std::vector<FrameRecord> records = readThroughC(path, sample.format);
        EXPECT_EQ(described(records), expected) << sample.file;

        // Written back in every format through the C writer and read again.
        Columns all(records.size());
        for (size_t f = 0; f < records.size(); ++f) {
            const FrameRecord& r = records[f];
            all.ns[f] = r.timestampNs;
            all.seconds[f] = r.seconds;
            all.ids[f] = r.id;
            all.extended[f] = r.has(kExtendedId);
            all.lengths[f] = r.length;
            std::memcpy(&all.payloads[f * CXL_LOG_PAYLOAD_STRIDE], r.data, r.length);
            all.flags[f] = r.flags | (r.direction == Direction::kTransmitted ? CXL_FRAME_TX
                                      : r.direction == Direction::kReceived  ? CXL_FRAME_RX
                                                                             : 0);
            all.channels[f] = r.channel;
            all.dlcs[f] = r.dlc;
        }
        all.frames.count = records.size();
        for (const auto& target : kSamples) {
            const std::string copy = ::testing::TempDir() + "c_api_copy_" + target.file;
            cxl_log_writer* writer = nullptr;
            ASSERT_EQ(cxl_log_create_file(copy.c_str(), target.format, &writer), CXL_OK);
            // python-can's candump error frame has no data: not the bus error an ASC error line reads as.
            std::size_t refused = 0;
            for (size_t f = 0; f < records.size(); ++f) refused += cxl_log_refusal(writer, &all.frames, f) != nullptr;
            EXPECT_EQ(refused, sample.format == CXL_LOG_CANDUMP && target.format == CXL_LOG_ASC ? 1u : 0u);
            ASSERT_EQ(cxl_log_write(writer, &all.frames), refused == 0 ? CXL_OK : CXL_ERR_FORMAT);
            ASSERT_EQ(cxl_log_finish(writer), CXL_OK);
            if (refused != 0) continue;
            EXPECT_EQ(described(readThroughC(copy, target.format)), readLog(readFile(copy)).described)
                << sample.file << " as " << target.file;
            EXPECT_EQ(readLog(readFile(copy)).frames.size(), records.size()) << sample.file << " as " << target.file;
            std::remove(copy.c_str());
        }
    }
}

TEST(LogFilesCApi, BatchDecodingTakesTheColumnsAsTheyAre) {
    cxl_database* database = nullptr;
    ASSERT_EQ(cxl_open_file(CANXLATE_EXAMPLES_DIR "/powertrain.dbc", &database), CXL_OK);
    cxl_log_reader* reader = nullptr;
    ASSERT_EQ(cxl_log_open_file(CANXLATE_LOG_DATA_DIR "/sample.log", CXL_LOG_AUTO, 0, nullptr, nullptr, &reader),
              CXL_OK);
    Columns columns(16);
    ASSERT_EQ(cxl_log_read(reader, &columns.frames), CXL_OK);
    EXPECT_STREQ(cxl_log_channel_name(reader, 1), "can1");
    const size_t n = columns.frames.count, slots = 8;
    std::vector<double> physical(slots * n);
    std::vector<uint8_t> present(slots * n);
    std::vector<int32_t> message(n);
    const cxl_batch batch{n,
                          columns.ids.data(),
                          columns.extended.data(),
                          columns.lengths.data(),
                          columns.payloads.data(),
                          CXL_LOG_PAYLOAD_STRIDE,
                          columns.seconds.data(),
                          n,
                          physical.data(),
                          present.data(),
                          message.data(),
                          nullptr};
    ASSERT_EQ(cxl_decode_batch(database, &batch, 0), CXL_OK);
    ASSERT_GE(message[0], 0);  // 100#2003...: EngineSpeed = 0x0320 * 0.25
    EXPECT_EQ(physical[0], 200.0);
    EXPECT_EQ(message[2], -1);  // 7FF is not in the database
    cxl_log_close(reader);
    cxl_close(database);
}

// Read through a read function, 3 bytes at a time; written with the names
// given, and read back with them.
TEST(LogFilesCApi, EachCandumpInterfaceKeepsAChannelAndItsName) {
    struct Pieces {
        std::string text;
        std::size_t at = 0;
        static ptrdiff_t read(void* self, void* buffer, size_t size) {
            auto* pieces = static_cast<Pieces*>(self);
            const std::size_t count = std::min<std::size_t>({size, 3, pieces->text.size() - pieces->at});
            std::memcpy(buffer, pieces->text.data() + pieces->at, count);
            pieces->at += count;
            return static_cast<ptrdiff_t>(count);
        }
    } pieces{"(1.0) can0 100#00\n(2.0) vcan0 100#00\n(3.0) can0 100#00\n(4.0) can1 100#00\n"};
    cxl_log_reader* reader = nullptr;
    ASSERT_EQ(cxl_log_open_callback(&Pieces::read, &pieces, CXL_LOG_AUTO, 0, nullptr, nullptr, &reader), CXL_OK);
    Columns columns(8);
    ASSERT_EQ(cxl_log_read(reader, &columns.frames), CXL_OK);
    ASSERT_EQ(columns.frames.count, 4u);
    EXPECT_EQ(std::vector<uint16_t>(columns.channels.begin(), columns.channels.begin() + 4),
              (std::vector<uint16_t>{0, 1, 0, 2}));
    EXPECT_STREQ(cxl_log_channel_name(reader, 1), "vcan0");
    EXPECT_STREQ(cxl_log_channel_name(reader, 2), "can1");
    cxl_log_close(reader);

    const std::string copy = ::testing::TempDir() + "c_api_names.log";
    cxl_log_writer* writer = nullptr;
    ASSERT_EQ(cxl_log_create_file(copy.c_str(), CXL_LOG_CANDUMP, &writer), CXL_OK);
    EXPECT_EQ(cxl_log_name_channel(writer, 1, "vcan0"), CXL_OK);
    EXPECT_EQ(cxl_log_name_channel(writer, 2, "a_name_too_long_"), CXL_ERR_LENGTH);
    ASSERT_EQ(cxl_log_write(writer, &columns.frames), CXL_OK);
    ASSERT_EQ(cxl_log_finish(writer), CXL_OK);
    EXPECT_EQ(readFile(copy),
              "(1.000000) can0 100#00\n(2.000000) vcan0 100#00\n(3.000000) can0 100#00\n"
              "(4.000000) can2 100#00\n");
    std::remove(copy.c_str());
}

// A frame the format cannot hold is named and the batch refused whole.
TEST(LogFilesCApi, WritingRefusesWhatTheFormatCannotHold) {
    Columns columns(2);
    columns.ids[0] = 0x123;
    columns.ids[1] = 0x800;
    columns.frames.count = 2;
    const std::string copy = ::testing::TempDir() + "c_api_refused.log";
    cxl_log_writer* writer = nullptr;
    ASSERT_EQ(cxl_log_create_file(copy.c_str(), CXL_LOG_CANDUMP, &writer), CXL_OK);
    EXPECT_EQ(cxl_log_refusal(writer, &columns.frames, 0), nullptr);
    EXPECT_STREQ(cxl_log_refusal(writer, &columns.frames, 1), "standard ID above 7FF");
    EXPECT_EQ(cxl_log_write(writer, &columns.frames), CXL_ERR_FORMAT);
    ASSERT_EQ(cxl_log_finish(writer), CXL_OK);
    EXPECT_EQ(readFile(copy), "");
    std::remove(copy.c_str());
}

TEST(LogFilesCApi, RefusesBadArguments) {
    cxl_log_reader* reader = reinterpret_cast<cxl_log_reader*>(1);
    EXPECT_EQ(cxl_log_open_file("/nonexistent/log", CXL_LOG_AUTO, 0, nullptr, nullptr, &reader), CXL_ERR_CANNOT_OPEN);
    EXPECT_EQ(reader, nullptr);
    EXPECT_EQ(cxl_log_open_memory("x", 1, 7, 0, nullptr, nullptr, &reader), CXL_ERR_ARGUMENT);
    cxl_log_writer* writer = nullptr;
    EXPECT_EQ(cxl_log_create_file("/tmp/x.log", CXL_LOG_AUTO, &writer), CXL_ERR_ARGUMENT);
    ASSERT_EQ(cxl_log_open_memory("", 0, CXL_LOG_AUTO, 0, nullptr, nullptr, &reader), CXL_OK);
    cxl_frames empty{};
    EXPECT_EQ(cxl_log_read(reader, &empty), CXL_OK);
    EXPECT_EQ(empty.count, 0u);
    cxl_log_close(reader);
}

}  // namespace
}  // namespace canxlate::logs::test
