// Decoding and encoding, bit-exact: the worked layouts, clamping, rounding,
// saturation, floats, the word form, and what an absent message leaves alone.
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "api_test_support.h"

namespace canxlate::test {
namespace {

constexpr Payload kPattern = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct DecodeCase {
    const char* what;
    ChannelSpec spec;
    Payload payload;
    double expected;
};

using Decoding = TableTest;

TEST_F(Decoding, SingleChannelLayouts) {
    const DecodeCase cases[] = {
        {"Intel start 4, 12 bits", {.startBit = 4, .bitCount = 12}, kPattern, 833},
        {"Motorola start 8, 16 bits", {.startBit = 8, .bitCount = 16, .byteOrder = kByteOrderMotorola}, kPattern, 4660},
        {"Motorola start 13, 4 bits", {.startBit = 13, .bitCount = 4, .byteOrder = kByteOrderMotorola},
         {0x13, 0x34, 0, 0, 0, 0, 0, 0}, 9},
        {"Motorola float at 24", {.startBit = 24, .bitCount = 32, .dataType = kDataTypeFloat, .byteOrder = kByteOrderMotorola},
         {0x3F, 0x80, 0, 0, 0, 0, 0, 0}, 1.0},
        {"signed with scaling", {.bitCount = 8, .dataType = kDataTypeSigned, .factor = 0.5, .offset = 10},
         {0xFE, 0, 0, 0, 0, 0, 0, 0}, 9.0},
        {"byte 7 of a 2-byte message", {.startBit = 56, .bitCount = 8, .payloadSize = 2}, kPattern, 0xF0},
        {"signed 1 bit set", {.startBit = 7, .bitCount = 1, .dataType = kDataTypeSigned}, {0x80}, -1},
        {"signed 1 bit clear", {.startBit = 6, .bitCount = 1, .dataType = kDataTypeSigned}, {0x80}, 0},
        {"Motorola before byte 0 reads zeros", {.startBit = 3, .bitCount = 8, .byteOrder = kByteOrderMotorola},
         {0xFF, 0xFF, 0, 0, 0, 0, 0, 0}, 0x1F},
        {"Intel 52-bit unsigned at 12", {.startBit = 12, .bitCount = 52},
         {0, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 4503599627370495.0},
        {"Intel 52-bit signed minimum", {.startBit = 12, .bitCount = 52, .dataType = kDataTypeSigned},
         {0, 0, 0, 0, 0, 0, 0, 0x80}, -2251799813685248.0},
        {"Motorola 16 bits signed across bytes 2..1", {.startBit = 16, .bitCount = 16, .dataType = kDataTypeSigned,
                                                      .byteOrder = kByteOrderMotorola},
         {0, 0xFF, 0xFE, 0, 0, 0, 0, 0}, -2},
        {"Motorola 12 bits from bit 4 of byte 2", {.startBit = 20, .bitCount = 12, .byteOrder = kByteOrderMotorola},
         {0, 0xAB, 0xC0, 0, 0, 0, 0, 0}, 0xABC},
    };
    uint32_t id = 1;
    for (const auto& c : cases) {
        ChannelSpec spec = c.spec;
        spec.messageId = id++;
        ASSERT_EQ(addChannel(table, spec), kSuccess) << c.what;
    }
    id = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(decode(c.payload, id++)[0], c.expected);
    }
}

TEST_F(Decoding, WholePayloadAsFloat64BothByteOrders) {
    const double value = -1234.5678e-100;
    const uint64_t bits = std::bit_cast<uint64_t>(value);
    ASSERT_EQ(addChannel(table, {.name = "le", .bitCount = 64, .dataType = kDataTypeFloat}), kSuccess);
    ASSERT_EQ(addChannel(table, {.name = "be", .startBit = 56, .bitCount = 64, .dataType = kDataTypeFloat,
                                 .byteOrder = kByteOrderMotorola, .messageId = 2}),
              kSuccess);
    Payload little, big;
    for (int i = 0; i < 8; ++i) {
        little[i] = static_cast<uint8_t>(bits >> (8 * i));
        big[i] = static_cast<uint8_t>(bits >> (8 * (7 - i)));
    }
    EXPECT_EQ(decode(little)[0], value);
    EXPECT_EQ(decode(big, 2)[0], value);
}

// A 64-bit Motorola float starting at bits 57..63 reaches beyond the payload:
// its top bits repeat bit 7 of payload byte 0.
TEST_F(Decoding, Float64MotorolaBeyondPayloadRepeatsTopBit) {
    for (uint32_t start = 57; start <= 63; ++start)
        ASSERT_EQ(addChannel(table, {.startBit = start, .bitCount = 64, .dataType = kDataTypeFloat,
                                     .byteOrder = kByteOrderMotorola, .messageId = start}),
                  kSuccess);
    for (uint8_t top : {uint8_t{0x80}, uint8_t{0x40}}) {
        const Payload payload = {top, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
        uint64_t bigEndian = 0;
        for (uint8_t byte : payload) bigEndian = bigEndian << 8 | byte;
        for (uint32_t start = 57; start <= 63; ++start) {
            SCOPED_TRACE(start);
            const unsigned shift = start % 8;
            const uint64_t expected = static_cast<uint64_t>(static_cast<int64_t>(bigEndian) >> shift);
            const double value = decode(payload, start)[0];
            EXPECT_EQ(std::bit_cast<uint64_t>(value), expected);
        }
    }
}

TEST_F(Decoding, LimitsClampMinimumFirstAndLetNaNThrough) {
    ASSERT_EQ(addChannel(table, {.name = "lim", .dataType = kDataTypeSigned, .minimum = 0, .maximum = 100}), kSuccess);
    ASSERT_EQ(addChannel(table, {.name = "off", .startBit = 8, .dataType = kDataTypeSigned}), kSuccess);
    ASSERT_EQ(addChannel(table, {.name = "inverted", .startBit = 16, .minimum = 10, .maximum = 0}), kSuccess);
    ASSERT_EQ(addChannel(table, {.name = "nan", .startBit = 32, .bitCount = 32, .dataType = kDataTypeFloat,
                                 .minimum = 0, .maximum = 1}),
              kSuccess);
    const uint32_t quietNaN = 0x7FC00001;
    auto values = decode({static_cast<uint8_t>(-3), static_cast<uint8_t>(-3), 5, 0, static_cast<uint8_t>(quietNaN),
                          static_cast<uint8_t>(quietNaN >> 8), static_cast<uint8_t>(quietNaN >> 16),
                          static_cast<uint8_t>(quietNaN >> 24)});
    EXPECT_EQ(values[0], 0.0);
    EXPECT_EQ(values[1], -3.0);
    EXPECT_EQ(values[2], 10.0);
    EXPECT_TRUE(std::isnan(values[3]));
    values = decode({120, 0, 20, 0, 0, 0, 0x80, 0x3F});
    EXPECT_EQ(values[0], 100.0);
    EXPECT_EQ(values[2], 0.0);
    EXPECT_EQ(values[3], 1.0);
}

TEST_F(Decoding, ChannelsComeInDefinitionOrder) {
    ASSERT_EQ(addChannel(table, {.name = "c", .startBit = 16}), kSuccess);
    ASSERT_EQ(addChannel(table, {.name = "a", .startBit = 0}), kSuccess);
    ASSERT_EQ(addChannel(table, {.name = "b", .startBit = 8}), kSuccess);
    EXPECT_EQ(decode({1, 2, 3}), (std::vector<double>{3, 1, 2}));
}

TEST_F(Decoding, WordFormMatchesBytesAndLeavesWordsAlone) {
    ASSERT_EQ(addChannel(table, {.name = "i", .startBit = 4, .bitCount = 12}), kSuccess);
    ASSERT_EQ(addChannel(table, {.name = "m", .startBit = 40, .bitCount = 24, .byteOrder = kByteOrderMotorola}),
              kSuccess);
    const uint32_t words[2] = {0x12345678, 0x9ABCDEF0};
    uint32_t copy[2] = {words[0], words[1]};
    double values[2] = {};
    ASSERT_EQ(convertFrameToChannelU32(table, 0x100, copy, values), kSuccess);
    EXPECT_EQ(copy[0], words[0]);
    EXPECT_EQ(copy[1], words[1]);
    const auto fromBytes = decode(kPattern);
    EXPECT_EQ(values[0], fromBytes[0]);
    EXPECT_EQ(values[1], fromBytes[1]);
}

TEST_F(Decoding, ArgumentChecksAndAbsentMessage) {
    ASSERT_EQ(addChannel(table, {}), kSuccess);
    double values[2] = {7.0, 7.0};
    const uint32_t words[2] = {};
    EXPECT_EQ(convertFrameToChannel(table, 0x100, nullptr, values), kErrNullArgument);
    EXPECT_EQ(convertFrameToChannel(table, 0x100, kPattern.data(), nullptr), kErrNullArgument);
    EXPECT_EQ(convertFrameToChannelU32(table, 0x100, nullptr, values), kErrNullArgument);
    EXPECT_FALSE(isFrozen());
    EXPECT_EQ(convertFrameToChannel(table, 0x101, kPattern.data(), values), kWarnMessageNotFound);
    EXPECT_EQ(convertFrameToChannelU32(table, 0x101, words, values), kWarnMessageNotFound);
    EXPECT_EQ(values[0], 7.0);
    EXPECT_EQ(values[1], 7.0);
    EXPECT_TRUE(isFrozen());
}

using Encoding = TableTest;

struct EncodeCase {
    const char* what;
    ChannelSpec spec;
    double value;
    Payload expected;
};

TEST_F(Encoding, SingleChannelLayouts) {
    const EncodeCase cases[] = {
        {"Intel start 4, 12 bits", {.startBit = 4, .bitCount = 12}, 833, {0x10, 0x34}},
        {"Motorola start 8, 16 bits", {.startBit = 8, .bitCount = 16, .byteOrder = kByteOrderMotorola}, 4660,
         {0x12, 0x34}},
        {"Motorola start 13, 4 bits", {.startBit = 13, .bitCount = 4, .byteOrder = kByteOrderMotorola}, 9,
         {0x01, 0x20}},
        {"Intel float 1.0", {.bitCount = 32, .dataType = kDataTypeFloat}, 1.0, {0, 0, 0x80, 0x3F}},
        {"signed with scaling", {.dataType = kDataTypeSigned, .factor = 0.5, .offset = 10}, 9.0, {0xFE}},
        {"Motorola before byte 0 drops bits", {.startBit = 3, .bitCount = 8, .byteOrder = kByteOrderMotorola}, 255,
         {0xF8}},
        {"round 2.5", {}, 2.5, {3}},
        {"round 2.4999", {}, 2.4999, {2}},
        {"round -2.5", {.dataType = kDataTypeSigned}, -2.5, {0xFD}},
        {"round -0.4", {.dataType = kDataTypeSigned}, -0.4, {0}},
        {"unsigned 300", {}, 300, {0xFF}},
        {"unsigned 1e19", {}, 1e19, {0xFF}},
        {"unsigned infinity", {}, kInf, {0xFF}},
        {"unsigned -1", {}, -1, {0}},
        {"unsigned NaN", {}, kNaN, {0}},
        {"signed 200", {.dataType = kDataTypeSigned}, 200, {0x7F}},
        {"signed -200", {.dataType = kDataTypeSigned}, -200, {0x80}},
        {"signed -infinity", {.dataType = kDataTypeSigned}, -kInf, {0x80}},
        {"signed NaN", {.dataType = kDataTypeSigned}, kNaN, {0x80}},
        {"signed 16 bits 1e300", {.bitCount = 16, .dataType = kDataTypeSigned}, 1e300, {0xFF, 0x7F}},
        {"zero over zero factor", {.factor = 0.0}, 0.0, {0}},
        {"52-bit unsigned top", {.startBit = 12, .bitCount = 52}, 1e300, {0, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"single beyond range", {.bitCount = 32, .dataType = kDataTypeFloat}, -1e39, {0, 0, 0x80, 0xFF}},
        {"single just below the rounding edge", {.bitCount = 32, .dataType = kDataTypeFloat}, 0x1.fffffefffffffp127,
         {0xFF, 0xFF, 0x7F, 0x7F}},
        {"single at the rounding edge", {.bitCount = 32, .dataType = kDataTypeFloat}, 0x1.ffffffp127,
         {0, 0, 0x80, 0x7F}},
        {"Motorola float64 at 56", {.startBit = 56, .bitCount = 64, .dataType = kDataTypeFloat,
                                    .byteOrder = kByteOrderMotorola},
         -2.0, {0xC0, 0, 0, 0, 0, 0, 0, 0}},
    };
    uint32_t id = 1;
    for (const auto& c : cases) {
        ChannelSpec spec = c.spec;
        spec.messageId = id++;
        ASSERT_EQ(addChannel(table, spec), kSuccess) << c.what;
    }
    id = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<double> values = {c.value};
        EXPECT_EQ(encode(values, id++), c.expected);
    }
}

TEST_F(Encoding, ClampingMaximumFirstAndWrittenBack) {
    ASSERT_EQ(addChannel(table, {.name = "lim", .minimum = 0, .maximum = 100}), kSuccess);
    ASSERT_EQ(addChannel(table, {.name = "inverted", .startBit = 8, .minimum = 10, .maximum = 0}), kSuccess);
    ASSERT_EQ(addChannel(table, {.name = "nan", .startBit = 16, .minimum = 0, .maximum = 100}), kSuccess);
    ASSERT_EQ(addChannel(table, {.name = "free", .startBit = 24, .dataType = kDataTypeSigned}), kSuccess);
    std::vector<double> values = {250, 5, kNaN, -3};
    EXPECT_EQ(encode(values), (Payload{100, 0, 0, 0xFD}));
    EXPECT_EQ(values[0], 100);
    EXPECT_EQ(values[1], 0);
    EXPECT_TRUE(std::isnan(values[2]));
    EXPECT_EQ(values[3], -3);
}

TEST_F(Encoding, IntelReplacesAndMotorolaOrs) {
    ASSERT_EQ(addChannel(table, {.name = "a", .startBit = 0}), kSuccess);
    ASSERT_EQ(addChannel(table, {.name = "b", .startBit = 4}), kWarnBitsOverlap);
    ASSERT_EQ(addChannel(table, {.name = "a", .startBit = 0, .messageId = 0x200}), kSuccess);
    ASSERT_EQ(addChannel(table, {.name = "c", .startBit = 4, .bitCount = 4, .byteOrder = kByteOrderMotorola,
                                 .messageId = 0x200}),
              kWarnBitsOverlap);
    std::vector<double> values = {255, 0};
    EXPECT_EQ(encode(values), (Payload{0x0F, 0x00}));
    values = {255, 0};
    EXPECT_EQ(encode(values, 0x200), (Payload{0xFF, 0x00}));
    values = {3, 0x0F};
    EXPECT_EQ(encode(values, 0x200), (Payload{0xF3}));
}

TEST_F(Encoding, WordFormAndAbsentMessage) {
    // Motorola at 24 / 56 with 32 bits put bytes 0..3 and 4..7 in bus order.
    MessageTableHandle other = 0;
    ASSERT_EQ(createMessageTable(&other), kSuccess);
    ASSERT_EQ(addChannel(other, {.name = "w0", .startBit = 24, .bitCount = 32, .byteOrder = kByteOrderMotorola}),
              kSuccess);
    ASSERT_EQ(addChannel(other, {.name = "w1", .startBit = 56, .bitCount = 32, .byteOrder = kByteOrderMotorola}),
              kSuccess);
    double values[2] = {0x12345678, 0x9ABCDEF0};
    uint32_t words[2] = {};
    ASSERT_EQ(convertChannelToFrameU32(other, 0x100, values, words), kSuccess);
    EXPECT_EQ(words[0], 0x12345678u);
    EXPECT_EQ(words[1], 0x9ABCDEF0u);
    uint8_t bytes[8] = {};
    ASSERT_EQ(convertChannelToFrame(other, 0x100, values, bytes), kSuccess);
    EXPECT_EQ(Payload(std::to_array(bytes)), kPattern);

    uint32_t untouched[2] = {0xAAAAAAAA, 0xBBBBBBBB};
    uint8_t untouchedBytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    double big[2] = {1e300, -1e300};
    EXPECT_EQ(convertChannelToFrameU32(other, 0x999, big, untouched), kWarnMessageNotFound);
    EXPECT_EQ(convertChannelToFrame(other, 0x999, big, untouchedBytes), kWarnMessageNotFound);
    EXPECT_EQ(untouched[0], 0xAAAAAAAAu);
    EXPECT_EQ(untouched[1], 0xBBBBBBBBu);
    EXPECT_EQ(untouchedBytes[7], 8);
    EXPECT_EQ(big[0], 1e300);
    EXPECT_EQ(convertChannelToFrame(other, 0x100, nullptr, bytes), kErrNullArgument);
    EXPECT_EQ(convertChannelToFrame(other, 0x100, values, nullptr), kErrNullArgument);
    EXPECT_EQ(closeMessageTable(other), kSuccess);
}

}  // namespace
}  // namespace canxlate::test
