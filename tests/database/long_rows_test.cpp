// cxl_batch_rows: the long form of cxl_decode_batch's columns.
#include <cmath>
#include <cstdint>
#include <vector>

#include "test_database.h"

namespace {

const char* const kDbc = R"(VERSION ""
BU_: ECU
BO_ 100 Mux: 8 ECU
 SG_ Sel M : 0|8@1+ (1,0) [0|0] "" ECU
 SG_ A m0 : 8|8@1+ (1,0) [0|0] "" ECU
 SG_ B m1 : 16|16@1+ (0.5,0) [0|0] "" ECU
BO_ 200 Plain: 8 ECU
 SG_ X : 0|8@1- (1,-40) [0|0] "" ECU
)";

// Frames of both messages, a switch value that leaves both branches out and an unknown ID.
const uint32_t kIds[] = {100, 200, 7, 100, 100};
const uint8_t kPayloads[][8] = {{0, 5}, {0x80}, {1}, {1, 0, 3, 0}, {2, 9}};
const uint16_t kChannels[] = {1, 0, 1, 2, 0};
constexpr size_t kFrames = std::size(kIds), kSlots = 3;

struct Decoded {
    DatabasePtr database = openDbc(kDbc);
    std::vector<double> times{1.5, 2.5, 3.5, 4.5, 5.5}, physical = std::vector<double>(kSlots * kFrames);
    std::vector<uint8_t> present = std::vector<uint8_t>(kSlots * kFrames);
    std::vector<int32_t> index = std::vector<int32_t>(kFrames);
    cxl_batch batch{kFrames,      kIds,    nullptr,         nullptr,        &kPayloads[0][0], 8,
                    times.data(), kFrames, physical.data(), present.data(), index.data(),     nullptr};
    Decoded() { EXPECT_EQ(cxl_decode_batch(database.get(), &batch, 0), CXL_OK); }
};

template <typename Code>
void expectRows(size_t codeSize) {
    Decoded d;
    const std::vector<Code> messageCodes{20, 10}, signalCodes{3, 4, 5, 6, -1, -1}, channelCodes{-1, 7, 8};
    constexpr size_t kCapacity = 16;
    std::vector<double> value(kCapacity), time(kCapacity);
    std::vector<uint32_t> id(kCapacity);
    std::vector<Code> message(kCapacity), signal(kCapacity), channel(kCapacity);
    std::vector<uint64_t> frame(kCapacity);
    cxl_rows rows{kCapacity,
                  codeSize,
                  messageCodes.data(),
                  signalCodes.data(),
                  kSlots,
                  kChannels,
                  channelCodes.data(),
                  3,
                  100,
                  value.data(),
                  time.data(),
                  id.data(),
                  message.data(),
                  signal.data(),
                  channel.data(),
                  frame.data(),
                  0};
    ASSERT_EQ(cxl_batch_rows(d.database.get(), &d.batch, &rows), CXL_OK);
    size_t n = 0;
    for (size_t f = 0; f < kFrames; ++f) {
        for (size_t s = 0; s < kSlots; ++s) {
            if (d.present[s * kFrames + f] == 0) continue;
            ASSERT_LT(n, rows.count);
            const auto m = static_cast<size_t>(d.index[f]);
            EXPECT_EQ(value[n], d.physical[s * kFrames + f]) << n;
            EXPECT_EQ(time[n], d.times[f]) << n;
            EXPECT_EQ(id[n], kIds[f]) << n;
            EXPECT_EQ(message[n], messageCodes[m]) << n;
            EXPECT_EQ(signal[n], signalCodes[m * kSlots + s]) << n;
            EXPECT_EQ(channel[n], channelCodes[kChannels[f]]) << n;
            EXPECT_EQ(frame[n], 100 + f) << n;
            ++n;
        }
    }
    // Sel+A, X, Sel+B, Sel: 6 values; the unknown frame gives none.
    EXPECT_EQ(n, 6u);
    EXPECT_EQ(rows.count, n);
}

}  // namespace

TEST(BatchRows, FollowTheDecodedColumnsForEveryCodeSize) {
    expectRows<int8_t>(1);
    expectRows<int16_t>(2);
    expectRows<int32_t>(4);
}

// Without tables the indexes themselves are the codes; without timestamps the times are NaN.
TEST(BatchRows, IndexesAndNanWithoutTables) {
    Decoded d;
    d.batch.timestamps = nullptr;
    std::vector<int8_t> message(8), signal(8), channel(8);
    std::vector<double> time(8);
    cxl_rows rows{};
    rows.capacity = 8;
    rows.code_size = 1;
    rows.channels = kChannels;
    rows.message = message.data();
    rows.signal = signal.data();
    rows.channel = channel.data();
    rows.timestamp = time.data();
    ASSERT_EQ(cxl_batch_rows(d.database.get(), &d.batch, &rows), CXL_OK);
    ASSERT_EQ(rows.count, 6u);
    const std::vector<int8_t> messages{0, 0, 1, 0, 0, 0}, signals{0, 1, 0, 0, 2, 0}, channels{1, 1, 0, 2, 2, 0};
    for (size_t n = 0; n < 6; ++n) {
        EXPECT_EQ(message[n], messages[n]) << n;
        EXPECT_EQ(signal[n], signals[n]) << n;
        EXPECT_EQ(channel[n], channels[n]) << n;
        EXPECT_TRUE(std::isnan(time[n])) << n;
    }
}

// Each row: a change to a valid request and the status it must give, with the count it reports.
TEST(BatchRows, RefusesWhatItCannotWrite) {
    const int8_t channelCodes[] = {0, 1, 2};
    struct Case {
        const char* what;
        void (*change)(cxl_rows&, cxl_batch&);
        cxl_status status;
        size_t count;
    };
    const Case cases[] = {
        {"capacity one short", [](cxl_rows& r, cxl_batch&) { r.capacity = 5; }, CXL_ERR_LENGTH, 6},
        {"capacity exact", [](cxl_rows& r, cxl_batch&) { r.capacity = 6; }, CXL_OK, 6},
        {"code size 3", [](cxl_rows& r, cxl_batch&) { r.code_size = 3; }, CXL_ERR_ARGUMENT, 0},
        {"short signal stride", [](cxl_rows& r, cxl_batch&) { r.signal_stride = 2; }, CXL_ERR_ARGUMENT, 0},
        {"channel 2 beyond a table of 2", [](cxl_rows& r, cxl_batch&) { r.channel_count = 2; }, CXL_ERR_ARGUMENT, 0},
        {"channel column without channels", [](cxl_rows& r, cxl_batch&) { r.channels = nullptr; }, CXL_ERR_ARGUMENT, 0},
        {"no frames", [](cxl_rows& r, cxl_batch& b) { r.capacity = 0, b.frame_count = 0; }, CXL_OK, 0},
        {"no message indexes", [](cxl_rows&, cxl_batch& b) { b.message_index = nullptr; }, CXL_ERR_ARGUMENT, 0},
    };
    for (const Case& c : cases) {
        Decoded d;
        const int8_t signalCodes[kSlots * 2] = {};
        std::vector<int8_t> channel(8);
        std::vector<double> value(8);
        cxl_rows rows{};
        rows.capacity = 8;
        rows.code_size = 1;
        rows.signal_codes = signalCodes;
        rows.signal_stride = kSlots;
        rows.channels = kChannels;
        rows.channel_codes = channelCodes;
        rows.channel_count = 3;
        rows.channel = channel.data();
        rows.value = value.data();
        rows.count = 99;
        c.change(rows, d.batch);
        EXPECT_EQ(cxl_batch_rows(d.database.get(), &d.batch, &rows), c.status) << c.what;
        EXPECT_EQ(rows.count, c.count) << c.what;
    }
    EXPECT_EQ(cxl_batch_rows(nullptr, nullptr, nullptr), CXL_ERR_ARGUMENT);
}

// The packed form gives the same rows; a capacity too small for the batch is
// refused by both calls, and the count says what the batch needs.
TEST(BatchRows, PackedValuesGiveTheSameRows) {
    Decoded d;
    std::vector<double> physical(kSlots * kFrames);
    std::vector<uint8_t> present(kSlots * kFrames);
    std::vector<int32_t> index(kFrames);
    cxl_batch batch = d.batch;
    batch.message_index = index.data();
    cxl_packed packed{9, physical.data(), present.data(), nullptr, nullptr, 0};
    EXPECT_EQ(cxl_decode_packed(d.database.get(), &batch, &packed, 0), CXL_ERR_LENGTH);
    EXPECT_EQ(packed.count, 10u);  // 3 + 1 + 3 + 3 values
    packed.capacity = 10;
    ASSERT_EQ(cxl_decode_packed(d.database.get(), &batch, &packed, 0), CXL_OK);
    std::vector<double> columnValues(8), packedValues(8);
    std::vector<int16_t> columnSignals(8), packedSignals(8);
    cxl_rows rows{};
    rows.capacity = 8;
    rows.code_size = 2;
    rows.value = columnValues.data();
    rows.signal = columnSignals.data();
    ASSERT_EQ(cxl_batch_rows(d.database.get(), &d.batch, &rows), CXL_OK);
    rows.value = packedValues.data();
    rows.signal = packedSignals.data();
    ASSERT_EQ(cxl_packed_rows(d.database.get(), &batch, &packed, &rows), CXL_OK);
    EXPECT_EQ(rows.count, 6u);
    EXPECT_EQ(packedValues, columnValues);
    EXPECT_EQ(packedSignals, columnSignals);
    packed.count = 11;
    EXPECT_EQ(cxl_packed_rows(d.database.get(), &batch, &packed, &rows), CXL_ERR_ARGUMENT);
}
