// What a file reader should have made of one channel, field by field.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "convert/channel_definition.h"

namespace canxlate {

inline constexpr uint32_t kNotSet = 0xFFFFFFFFu;  // -1: no message ID or size met yet

// The defaults are those of a ".zcd" "channel" element with no "bitfield"
// and no "linear_scaling".
struct ExpectedChannel {
    std::string name{};
    std::string unit{};
    uint32_t startBit = 0;
    uint32_t bitCount = 0;
    uint32_t dataType = kDataTypeIeeeFloat;
    uint32_t byteOrder = kByteOrderLittleEndian;
    double factor = 1.0;
    double offset = 0.0;
    double minimum = 0.0;
    double maximum = 0.0;
    uint32_t messageId = kNotSet;
    uint32_t payloadSize = kNotSet;
};

// Numbers are read correctly rounded, so even the doubles must match exactly.
inline void expectChannel(const ImportedChannel& actual, const ExpectedChannel& expected) {
    SCOPED_TRACE("channel " + expected.name);
    EXPECT_EQ(actual.name, expected.name);
    EXPECT_EQ(actual.unit, expected.unit);
    EXPECT_EQ(actual.startBit, expected.startBit);
    EXPECT_EQ(actual.bitCount, expected.bitCount);
    EXPECT_EQ(actual.dataType, expected.dataType);
    EXPECT_EQ(actual.byteOrder, expected.byteOrder);
    EXPECT_EQ(actual.factor, expected.factor);
    EXPECT_EQ(actual.offset, expected.offset);
    EXPECT_EQ(actual.minimum, expected.minimum);
    EXPECT_EQ(actual.maximum, expected.maximum);
    EXPECT_EQ(actual.messageId, expected.messageId);
    EXPECT_EQ(actual.payloadSize, expected.payloadSize);
}

}  // namespace canxlate
