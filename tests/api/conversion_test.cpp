// Decoding and encoding, bit-exact: layouts, limits, rounding, saturation,
// floats, the word form, and decode(encode(x)) == x for random layouts.
#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <optional>
#include <random>

#include "api_test_support.h"

namespace canxlate::test {
namespace {

constexpr Payload kPattern = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
constexpr Payload kPattern2 = {0x80, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
constexpr Payload kPattern3 = {0x40, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kOdd = -1234.5678e-100;
constexpr uint32_t kMotorola = kByteOrderMotorola, kFloat = kDataTypeFloat, kSigned = kDataTypeSigned;

constexpr Payload bytesOf(double value, bool bigEndian) {
    const uint64_t bits = std::bit_cast<uint64_t>(value);
    Payload payload{};
    for (int i = 0; i < 8; ++i) payload[i] = static_cast<uint8_t>(bits >> 8 * (bigEndian ? 7 - i : i));
    return payload;
}

bool same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

enum Direction { kDecode = 1, kEncode = 2, kBoth = 3 };

// One channel per row: decoding `payload` gives `value`, encoding `value`
// gives all 8 bytes of `payload` and writes `writtenBack` into the values.
struct ConversionRow {
    const char* what;
    ChannelSpec spec;
    int direction;
    Payload payload;
    double value;
    std::optional<double> writtenBack = std::nullopt;  // when clamped
};

// clang-format off
const ConversionRow kRows[] = {
    {"Intel 4|12 masks its neighbours", {.startBit = 4, .bitCount = 12}, kDecode, kPattern, 833},
    {"Intel 4|12", {.startBit = 4, .bitCount = 12}, kEncode, {0x10, 0x34}, 833},
    {"Motorola 8|16 masks its neighbours", {.startBit = 8, .bitCount = 16, .byteOrder = kMotorola}, kDecode, kPattern, 4660},
    {"Motorola 13|4 continues into byte 0", {.startBit = 13, .bitCount = 4, .byteOrder = kMotorola}, kBoth, {0x01, 0x20}, 9},
    {"Motorola 20|12 across bytes 2 and 1", {.startBit = 20, .bitCount = 12, .byteOrder = kMotorola}, kBoth, {0, 0xAB, 0xC0}, 0xABC},
    {"Motorola 16|16 signed", {.startBit = 16, .bitCount = 16, .dataType = kSigned, .byteOrder = kMotorola}, kBoth, {0, 0xFF, 0xFE}, -2},
    {"Motorola 3|8 reads zeros before byte 0", {.startBit = 3, .byteOrder = kMotorola}, kDecode, {0xFF, 0xFF}, 0x1F},
    {"Motorola 3|8 drops bits before byte 0", {.startBit = 3, .byteOrder = kMotorola}, kEncode, {0xF8}, 255},
    {"byte 7 of a 2-byte message", {.startBit = 56, .payloadSize = 2}, kBoth, {0, 0, 0, 0, 0, 0, 0, 0xF0}, 0xF0},
    {"signed 1 bit set", {.startBit = 7, .bitCount = 1, .dataType = kSigned}, kBoth, {0x80}, -1},
    {"signed 1 bit clear", {.startBit = 6, .bitCount = 1, .dataType = kSigned}, kDecode, {0x80}, 0},
    {"signed, scaled", {.dataType = kSigned, .factor = 0.5, .offset = 10}, kBoth, {0xFE}, 9},
    {"Intel 12|52 unsigned top", {.startBit = 12, .bitCount = 52}, kBoth, {0, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 4503599627370495.0},
    {"Intel 12|52 saturates", {.startBit = 12, .bitCount = 52}, kEncode, {0, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 1e300},
    {"Intel 12|52 signed minimum", {.startBit = 12, .bitCount = 52, .dataType = kSigned}, kBoth, {0, 0, 0, 0, 0, 0, 0, 0x80}, -2251799813685248.0},
    {"single within limits", {.bitCount = 32, .dataType = kFloat, .maximum = 1}, kBoth, {0, 0, 0x80, 0x3F}, 1.0},
    {"single, Motorola at 24", {.startBit = 24, .bitCount = 32, .dataType = kFloat, .byteOrder = kMotorola}, kBoth, {0x3F, 0x80}, 1.0},
    {"NaN passes decoding limits", {.bitCount = 32, .dataType = kFloat, .maximum = 1}, kDecode, {0x01, 0, 0xC0, 0x7F}, kNaN},
    {"single beyond range", {.bitCount = 32, .dataType = kFloat}, kEncode, {0, 0, 0x80, 0xFF}, -1e39},
    {"single below the rounding edge", {.bitCount = 32, .dataType = kFloat}, kEncode, {0xFF, 0xFF, 0x7F, 0x7F}, 0x1.fffffefffffffp127},
    {"single at the rounding edge", {.bitCount = 32, .dataType = kFloat}, kEncode, {0, 0, 0x80, 0x7F}, 0x1.ffffffp127},
    {"double, Intel", {.bitCount = 64, .dataType = kFloat}, kBoth, bytesOf(kOdd, false), kOdd},
    {"double, Motorola at 56", {.startBit = 56, .bitCount = 64, .dataType = kFloat, .byteOrder = kMotorola}, kBoth, bytesOf(kOdd, true), kOdd},
    // A Motorola double starting at bit 57..63 reaches beyond the payload: its
    // top bits repeat bit 7 of byte 0.
    {"double, Motorola at 57", {.startBit = 57, .bitCount = 64, .dataType = kFloat, .byteOrder = kMotorola}, kDecode, kPattern2, std::bit_cast<double>(uint64_t(int64_t(0x8011223344556677) >> 1))},
    {"double, Motorola at 60", {.startBit = 60, .bitCount = 64, .dataType = kFloat, .byteOrder = kMotorola}, kDecode, kPattern2, std::bit_cast<double>(uint64_t(int64_t(0x8011223344556677) >> 4))},
    {"double, Motorola at 63", {.startBit = 63, .bitCount = 64, .dataType = kFloat, .byteOrder = kMotorola}, kDecode, kPattern3, std::bit_cast<double>(uint64_t(0x4011223344556677) >> 7)},
    {"round 2.5 up", {}, kEncode, {3}, 2.5},
    {"round 2.4999 down", {}, kEncode, {2}, 2.4999},
    {"round -2.5 away from zero", {.dataType = kSigned}, kEncode, {0xFD}, -2.5},
    {"round -0.4 to zero", {.dataType = kSigned}, kEncode, {0}, -0.4},
    {"unsigned 300", {}, kEncode, {0xFF}, 300},
    {"unsigned 1e19", {}, kEncode, {0xFF}, 1e19},
    {"unsigned infinity", {}, kEncode, {0xFF}, kInf},
    {"unsigned -1", {}, kEncode, {0}, -1},
    {"unsigned NaN", {}, kEncode, {0}, kNaN},
    {"zero over a zero factor", {.factor = 0}, kEncode, {0}, 0},
    {"signed 200", {.dataType = kSigned}, kEncode, {0x7F}, 200},
    {"signed -200", {.dataType = kSigned}, kEncode, {0x80}, -200},
    {"signed -infinity", {.dataType = kSigned}, kEncode, {0x80}, -kInf},
    {"signed NaN", {.dataType = kSigned}, kEncode, {0x80}, kNaN},
    {"signed 16 bits 1e300", {.bitCount = 16, .dataType = kSigned}, kEncode, {0xFF, 0x7F}, 1e300},
    {"limits 0..100, below", {.dataType = kSigned, .maximum = 100}, kDecode, {0xFD}, 0},
    {"limits 0..100, above", {.dataType = kSigned, .maximum = 100}, kDecode, {120}, 100},
    {"limits 0..100 clamp and write back", {.maximum = 100}, kEncode, {100}, 250, 100},
    {"inverted limits, minimum first", {.minimum = 10}, kDecode, {5}, 10},
    {"inverted limits, maximum first", {.minimum = 10}, kEncode, {0}, 5, 0},
    {"NaN passes encoding limits", {.maximum = 100}, kEncode, {0}, kNaN},
    {"limits off: both 0", {.minimum = -0.0}, kDecode, {200}, 200},
    {"limits on: both -5", {.dataType = kSigned, .minimum = -5, .maximum = -5}, kDecode, {100}, -5},
    {"limits on: a NaN minimum", {.minimum = kNaN}, kDecode, {200}, 0},
};
// clang-format on

using Conversion = TableTest;

// Every row also goes through the word form: words[k] holds payload bytes
// 4k..4k+3, byte 4k most significant.
TEST_F(Conversion, SingleChannelRows) {
    for (uint32_t i = 0; i < std::size(kRows); ++i) {
        ChannelSpec spec = kRows[i].spec;
        spec.messageId = i + 1;
        ASSERT_EQ(addChannel(table, spec), kSuccess) << kRows[i].what;
    }
    for (uint32_t i = 0; i < std::size(kRows); ++i) {
        const ConversionRow& row = kRows[i];
        SCOPED_TRACE(row.what);
        const Payload& p = row.payload;
        const uint32_t words[2] = {uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3],
                                   uint32_t(p[4]) << 24 | p[5] << 16 | p[6] << 8 | p[7]};
        double value = row.value, fromWords = 0;
        if (row.direction & kDecode) {
            EXPECT_TRUE(same(decode(p, i + 1)[0], row.value)) << decode(p, i + 1)[0];
            ASSERT_EQ(convertFrameToChannelU32(table, i + 1, words, &fromWords), kSuccess);
            EXPECT_TRUE(same(fromWords, row.value)) << fromWords;
        }
        if (row.direction & kEncode) {
            std::vector<double> asVector = {row.value};
            EXPECT_EQ(encode(asVector, i + 1), p);
            EXPECT_TRUE(same(asVector[0], row.writtenBack.value_or(row.value))) << asVector[0];
            uint32_t encoded[2] = {};
            ASSERT_EQ(convertChannelToFrameU32(table, i + 1, &value, encoded), kSuccess);
            EXPECT_EQ(encoded[0], words[0]);
            EXPECT_EQ(encoded[1], words[1]);
        }
    }
}

// Where fields share bits, Intel fields replace them and Motorola fields OR
// theirs in; values come in definition order.
TEST_F(Conversion, IntelReplacesAndMotorolaOrs) {
    ASSERT_EQ(addChannel(table, {.name = "a"}), kSuccess);
    ASSERT_EQ(addChannel(table, {.name = "b", .startBit = 4}), kWarnBitsOverlap);
    ASSERT_EQ(addChannel(table, {.name = "a", .messageId = 0x200}), kSuccess);
    ASSERT_EQ(
        addChannel(table, {.name = "c", .startBit = 4, .bitCount = 4, .byteOrder = kMotorola, .messageId = 0x200}),
        kWarnBitsOverlap);
    std::vector<double> values = {255, 0};
    EXPECT_EQ(encode(values), (Payload{0x0F}));
    values = {3, 0x0F};
    EXPECT_EQ(encode(values, 0x200), (Payload{0xF3}));
    EXPECT_EQ(decode({0xA5}, 0x200), (std::vector<double>{0xA5, 0x0A}));
}

// A random channel that fits the payload (Motorola fields not running before
// byte 0), with a value the field holds exactly: the round trip is lossless.
std::pair<ChannelSpec, double> randomChannel(std::mt19937_64& rng) {
    const uint32_t type = rng() % 3, order = rng() % 2;
    const uint32_t bits = type == kFloat ? (rng() % 2 ? 32 : 64) : 1 + rng() % 52;
    uint32_t start = rng() % (65 - bits);
    while (order == kMotorola && (start = rng() % 64, (start % 8 + bits - 1) / 8 > start / 8)) {
    }
    ChannelSpec spec = {.startBit = start, .bitCount = bits, .dataType = type, .byteOrder = order};
    if (type == kFloat) {
        double value = bits == 32 ? std::bit_cast<float>(uint32_t(rng())) : std::bit_cast<double>(rng());
        if (rng() % 4 != 0) value = bits == 32 ? float(int32_t(rng()) * 1e-4) : int64_t(rng()) * 1e-12;
        return {spec, std::isnan(value) ? 0.5 : value};
    }
    // A raw integer in the field, a power-of-two factor and an integer offset.
    const int64_t span = int64_t{1} << (bits - 1);
    spec.factor = std::ldexp(1.0, int(rng() % 9) - 4);
    spec.offset = double(int64_t(rng() % 2001) - 1000);
    return {spec, double(int64_t(rng() % (2 * span)) - (type == kSigned ? span : 0)) * spec.factor + spec.offset};
}

TEST(RoundTripProperty, RandomLayoutsAllTypesBothOrders) {
    std::mt19937_64 rng(20261206);
    for (int trial = 0; trial < 5000; ++trial) {
        MessageTableHandle table = 0;
        ASSERT_EQ(createMessageTable(&table), kSuccess);
        const auto [spec, value] = randomChannel(rng);
        ASSERT_EQ(addChannel(table, spec), kSuccess);
        double in = value, out = 0, fromWords = 0;
        uint8_t payload[8];
        uint32_t words[2];
        ASSERT_EQ(convertChannelToFrame(table, 0x100, &in, payload), kSuccess);
        ASSERT_EQ(convertFrameToChannel(table, 0x100, payload, &out), kSuccess);
        ASSERT_EQ(convertChannelToFrameU32(table, 0x100, &in, words), kSuccess);
        ASSERT_EQ(convertFrameToChannelU32(table, 0x100, words, &fromWords), kSuccess);
        ASSERT_EQ(std::bit_cast<uint64_t>(out), std::bit_cast<uint64_t>(value))
            << "start " << spec.startBit << " bits " << spec.bitCount << " type " << spec.dataType << " order "
            << spec.byteOrder << " value " << value << " got " << out;
        ASSERT_EQ(std::bit_cast<uint64_t>(fromWords), std::bit_cast<uint64_t>(value));
        ASSERT_EQ(closeMessageTable(table), kSuccess);
    }
}

// Adjoining integer fields fill the frame and keep their neighbours.
TEST(RoundTripProperty, PackedFieldsKeepTheirNeighbours) {
    std::mt19937_64 rng(7);
    for (int trial = 0; trial < 500; ++trial) {
        MessageTableHandle table = 0;
        ASSERT_EQ(createMessageTable(&table), kSuccess);
        std::vector<double> values;
        for (uint32_t next = 0, bits = 0; next < 64; next += bits) {
            bits = std::min<uint32_t>(1 + rng() % 16, 64 - next);
            const uint32_t type = rng() % 2;
            const std::string name = "c" + std::to_string(values.size());
            ASSERT_EQ(addChannel(table, {.name = name, .startBit = next, .bitCount = bits, .dataType = type}),
                      kSuccess);
            const int64_t span = int64_t{1} << (bits - 1);
            values.push_back(double(int64_t(rng() % (2 * span)) - (type == kSigned ? span : 0)));
        }
        std::vector<double> out(values.size());
        uint8_t payload[8];
        ASSERT_EQ(convertChannelToFrame(table, 0x100, std::vector<double>(values).data(), payload), kSuccess);
        ASSERT_EQ(convertFrameToChannel(table, 0x100, payload, out.data()), kSuccess);
        ASSERT_EQ(out, values);
        ASSERT_EQ(closeMessageTable(table), kSuccess);
    }
}

}  // namespace
}  // namespace canxlate::test
