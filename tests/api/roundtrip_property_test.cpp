// decode(encode(x)) gives back x for random layouts of every data type and
// both byte orders, when x is representable in the field.
#include <bit>
#include <cmath>
#include <random>

#include "api_test_support.h"

namespace canxlate::test {
namespace {

// A random channel that fits the payload, with a value the field can hold
// exactly, so that the round trip must be lossless.
struct RandomChannel {
    ChannelSpec spec;
    double value;
};

RandomChannel makeRandomChannel(std::mt19937_64& rng) {
    RandomChannel c;
    const uint32_t type = rng() % 3;
    const uint32_t order = rng() % 2;
    uint32_t bits = type == kDataTypeFloat ? (rng() % 2 ? 32 : 64) : 1 + static_cast<uint32_t>(rng() % 52);
    // Intel fields must end inside the payload; Motorola fields must not run
    // before payload byte 0 (their bits there would be lost).
    uint32_t start = 0;
    if (order == kByteOrderIntel) {
        start = static_cast<uint32_t>(rng() % (65 - bits));
    } else {
        do {
            start = static_cast<uint32_t>(rng() % 64);
        } while ((start % 8 + bits - 1) / 8 > start / 8);
    }
    c.spec = {.name = "x", .startBit = start, .bitCount = bits, .dataType = type, .byteOrder = order};
    if (type == kDataTypeFloat) {
        std::uniform_real_distribution<double> d(-1e6, 1e6);
        c.value = bits == 32 ? static_cast<double>(static_cast<float>(d(rng))) : d(rng);
        if (rng() % 4 == 0) c.value = bits == 32 ? std::bit_cast<float>(static_cast<uint32_t>(rng())) : std::bit_cast<double>(rng());
        if (std::isnan(c.value)) c.value = 0.5;
    } else {
        // Raw integer within the field, then a scaling that maps it back
        // exactly: factor a power of two, offset an integer.
        const int64_t span = int64_t{1} << (bits - 1);
        int64_t raw = type == kDataTypeSigned ? static_cast<int64_t>(rng() % (2 * span)) - span
                                              : static_cast<int64_t>(rng() % (2 * span));
        c.spec.factor = std::ldexp(1.0, static_cast<int>(rng() % 9) - 4);
        c.spec.offset = static_cast<double>(static_cast<int64_t>(rng() % 2001) - 1000);
        c.value = static_cast<double>(raw) * c.spec.factor + c.spec.offset;
    }
    return c;
}

TEST(RoundTripProperty, RandomLayoutsAllTypesBothOrders) {
    std::mt19937_64 rng(20261206);
    for (int trial = 0; trial < 5000; ++trial) {
        MessageTableHandle table = 0;
        ASSERT_EQ(createMessageTable(&table), kSuccess);
        const RandomChannel c = makeRandomChannel(rng);
        ASSERT_EQ(addChannel(table, c.spec), kSuccess);
        double in[1] = {c.value}, out[1] = {0};
        uint8_t payload[8];
        uint32_t words[2];
        ASSERT_EQ(convertChannelToFrame(table, 0x100, in, payload), kSuccess);
        ASSERT_EQ(convertFrameToChannel(table, 0x100, payload, out), kSuccess);
        ASSERT_EQ(std::bit_cast<uint64_t>(out[0]), std::bit_cast<uint64_t>(c.value))
            << "start " << c.spec.startBit << " bits " << c.spec.bitCount << " type " << c.spec.dataType << " order "
            << c.spec.byteOrder << " value " << c.value << " got " << out[0];
        ASSERT_EQ(convertChannelToFrameU32(table, 0x100, in, words), kSuccess);
        out[0] = 0;
        ASSERT_EQ(convertFrameToChannelU32(table, 0x100, words, out), kSuccess);
        ASSERT_EQ(std::bit_cast<uint64_t>(out[0]), std::bit_cast<uint64_t>(c.value));
        ASSERT_EQ(closeMessageTable(table), kSuccess);
    }
}

// Several non-overlapping fields in one frame survive together.
TEST(RoundTripProperty, PackedFieldsKeepTheirNeighbours) {
    std::mt19937_64 rng(7);
    for (int trial = 0; trial < 500; ++trial) {
        MessageTableHandle table = 0;
        ASSERT_EQ(createMessageTable(&table), kSuccess);
        std::vector<double> values;
        uint32_t next = 0;
        while (next < 64) {
            const uint32_t bits = std::min<uint32_t>(1 + static_cast<uint32_t>(rng() % 16), 64 - next);
            const uint32_t type = rng() % 2;
            const std::string name = "c" + std::to_string(values.size());
            ASSERT_EQ(addChannel(table, {.name = name, .startBit = next, .bitCount = bits, .dataType = type}), kSuccess);
            const int64_t span = int64_t{1} << (bits - 1);
            const int64_t raw = type == kDataTypeSigned ? static_cast<int64_t>(rng() % (2 * span)) - span
                                                        : static_cast<int64_t>(rng() % (2 * span));
            values.push_back(static_cast<double>(raw));
            next += bits;
        }
        std::vector<double> in = values, out(values.size());
        uint8_t payload[8];
        ASSERT_EQ(convertChannelToFrame(table, 0x100, in.data(), payload), kSuccess);
        ASSERT_EQ(convertFrameToChannel(table, 0x100, payload, out.data()), kSuccess);
        ASSERT_EQ(out, values);
        ASSERT_EQ(closeMessageTable(table), kSuccess);
    }
}

}  // namespace
}  // namespace canxlate::test
