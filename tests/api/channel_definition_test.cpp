// Adding channels: the order of checks, the layout rules, duplicate names and
// overlaps, the message's fixed payload size, and the in-use rule.
#include <cmath>
#include <limits>

#include "api_test_support.h"

namespace canxlate::test {
namespace {

using ChannelDefinitions = TableTest;

struct LayoutCase {
    const char* what;
    ChannelSpec spec;
    int32_t expected;
};

TEST_F(ChannelDefinitions, ValidationRulesAndTheirOrder) {
    const LayoutCase cases[] = {
        {"unsigned 52 bits", {.name = "u52", .bitCount = 52}, kSuccess},
        {"unsigned 53 bits", {.name = "u53", .bitCount = 53}, kErrInvalidBitLayout},
        {"signed 53 bits", {.name = "s53", .bitCount = 53, .dataType = kDataTypeSigned}, kErrInvalidBitLayout},
        {"bit count 0", {.name = "zero", .bitCount = 0}, kErrInvalidBitLayout},
        {"float 16 bits", {.name = "f16", .bitCount = 16, .dataType = kDataTypeFloat}, kErrInvalidBitLayout},
        {"float 64 Intel at 0", {.name = "f64a", .bitCount = 64, .dataType = kDataTypeFloat, .messageId = 2}, kSuccess},
        {"float 64 Intel at 1",
         {.name = "f64b", .startBit = 1, .bitCount = 64, .dataType = kDataTypeFloat, .messageId = 3},
         kErrInvalidBitLayout},
        {"float 64 Motorola at 56",
         {.name = "f64c", .startBit = 56, .bitCount = 64, .dataType = kDataTypeFloat,
          .byteOrder = kByteOrderMotorola, .messageId = 4},
         kSuccess},
        {"float 65 bits", {.name = "f65", .bitCount = 65, .dataType = kDataTypeFloat}, kErrInvalidBitLayout},
        {"Intel start 63, 1 bit", {.name = "i63", .startBit = 63, .bitCount = 1, .messageId = 5}, kSuccess},
        {"Motorola start 63, 1 bit",
         {.name = "m63", .startBit = 63, .bitCount = 1, .byteOrder = kByteOrderMotorola, .messageId = 6}, kSuccess},
        {"Intel start 64", {.name = "i64", .startBit = 64, .bitCount = 1}, kErrInvalidBitLayout},
        {"Motorola start 64", {.name = "m64", .startBit = 64, .bitCount = 1, .byteOrder = kByteOrderMotorola},
         kErrInvalidBitLayout},
        {"Intel past bit 63", {.name = "i60", .startBit = 60, .bitCount = 8}, kErrInvalidBitLayout},
        {"Motorola start 4, 8 bits (reaches before byte 0)",
         {.name = "m4", .startBit = 4, .bitCount = 8, .byteOrder = kByteOrderMotorola, .messageId = 7}, kSuccess},
        {"data type tested before byte order", {.name = "t", .dataType = 3, .byteOrder = 5}, kErrInvalidDataType},
        {"byte order tested before layout", {.name = "t", .bitCount = 0, .byteOrder = 2}, kErrInvalidByteOrder},
        {"layout tested before size", {.name = "t", .bitCount = 0, .payloadSize = 9}, kErrInvalidBitLayout},
        {"payload size 9", {.name = "p9", .payloadSize = 9}, kErrInvalidMessageSize},
        {"payload size 0", {.name = "p0", .messageId = 8, .payloadSize = 0}, kSuccess},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(addChannel(table, c.spec), c.expected);
    }
    uint32_t largest = 0;
    ASSERT_EQ(getLargestNumberOfChannels(table, &largest), kSuccess);
    EXPECT_EQ(largest, 1u);  // u52 is the only channel of message 0x100
}

TEST_F(ChannelDefinitions, NullPointersComeBeforeTheHandle) {
    EXPECT_EQ(addNewchannelDefinition(table, nullptr, "", 0, 8, 1, 0, 1, 0, 0, 0, 1, 8), kErrNullArgument);
    EXPECT_EQ(addNewchannelDefinition(table + 8, "a", nullptr, 0, 8, 1, 0, 1, 0, 0, 0, 1, 8), kErrNullArgument);
    EXPECT_EQ(addNewchannelDefinition(table + 8, "a", "", 0, 8, 9, 0, 1, 0, 0, 0, 1, 8), kErrInvalidTable);
}

TEST_F(ChannelDefinitions, PayloadSizeIsFixedByTheFirstChannel) {
    ASSERT_EQ(addChannel(table, {.name = "a", .payloadSize = 4}), kSuccess);
    ASSERT_EQ(addChannel(table, {.name = "b", .startBit = 8, .payloadSize = 8}), kSuccess);
    // A bad size is refused even for an existing message.
    EXPECT_EQ(addChannel(table, {.name = "c", .startBit = 16, .payloadSize = 9}), kErrInvalidMessageSize);
    uint8_t size = 0;
    ASSERT_EQ(getMessageSize(table, 0x100, &size), kSuccess);
    EXPECT_EQ(size, 4);
}

TEST_F(ChannelDefinitions, DuplicateNamesAndOverlaps) {
    EXPECT_EQ(addChannel(table, {.name = "Speed", .startBit = 0}), kSuccess);
    EXPECT_EQ(addChannel(table, {.name = "Rpm", .startBit = 8}), kSuccess);
    EXPECT_EQ(addChannel(table, {.name = "Speed", .startBit = 16}), kErrDuplicateChannelName);
    EXPECT_EQ(addChannel(table, {.name = "speed", .startBit = 16}), kSuccess);  // names are case-sensitive
    EXPECT_EQ(addChannel(table, {.name = "Speed", .startBit = 16, .messageId = 0x200}), kSuccess);
    // Overlaps Speed (0-7) before the walk reaches the later channel named Rpm.
    EXPECT_EQ(addChannel(table, {.name = "Rpm", .startBit = 4}), kWarnBitsOverlap);
    EXPECT_EQ(addChannel(table, {.name = "Temp", .startBit = 20, .bitCount = 4}), kWarnBitsOverlap);
    uint32_t count = 0;
    ASSERT_EQ(getNumberOfChannels(table, 0x100, &count), kSuccess);
    EXPECT_EQ(count, 5u);
}

// The overlap test compares numeric bit ranges, whatever the byte order.
TEST_F(ChannelDefinitions, OverlapComparesNumericRanges) {
    EXPECT_EQ(addChannel(table, {.name = "a", .startBit = 0, .bitCount = 8}), kSuccess);
    EXPECT_EQ(addChannel(table, {.name = "b", .startBit = 8, .bitCount = 16, .byteOrder = kByteOrderMotorola}),
              kSuccess);
    EXPECT_EQ(addChannel(table, {.name = "c", .startBit = 20, .bitCount = 4, .byteOrder = kByteOrderMotorola}),
              kWarnBitsOverlap);
}

TEST_F(ChannelDefinitions, LimitsAreOnUnlessBothAreZero) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Limits {
        double minimum, maximum;
        bool clamps;
    };
    const Limits cases[] = {{0.0, 0.0, false}, {-0.0, 0.0, false}, {0.0, 10.0, true},
                            {-5.0, -5.0, true}, {nan, 0.0, true}};
    uint32_t id = 1;
    for (const auto& c : cases) {
        // A raw value of 200 lies above every finite maximum here.
        ASSERT_EQ(addChannel(table, {.name = "x", .minimum = c.minimum, .maximum = c.maximum, .messageId = id++}),
                  kSuccess);
    }
    id = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(id);
        const auto values = decode({200, 0, 0, 0, 0, 0, 0, 0}, id++);
        if (c.clamps)
            EXPECT_NE(values[0], 200.0);
        else
            EXPECT_EQ(values[0], 200.0);
    }
}

// After any export that freezes the table has passed its checks, every add
// is refused and nothing changes.
TEST(InUseRule, EveryFreezingExportFreezes) {
    struct Freezer {
        const char* what;
        int32_t (*call)(MessageTableHandle);
    };
    static uint8_t payload[8];
    static uint32_t words[2];
    static double values[4];
    const Freezer freezers[] = {
        {"getNumberOfMessageIDs", [](MessageTableHandle t) { uint32_t n; return getNumberOfMessageIDs(t, &n); }},
        {"getMessageIDs", [](MessageTableHandle t) { uint32_t ids[2]; return getMessageIDs(t, ids); }},
        {"getMessageSize", [](MessageTableHandle t) { uint8_t s; return getMessageSize(t, 0x100, &s); }},
        {"getNumberOfChannels", [](MessageTableHandle t) { uint32_t n; return getNumberOfChannels(t, 0x100, &n); }},
        {"xcvtGetChannelNames",
         [](MessageTableHandle t) {
             uint32_t n;
             char** names;
             int32_t s = xcvtGetChannelNames(t, 0x100, &n, &names);
             xcvtDeleteArray(names, n);
             return s;
         }},
        {"convertFrameToChannel (unknown ID)",
         [](MessageTableHandle t) { return convertFrameToChannel(t, 0x555, payload, values); }},
        {"convertFrameToChannelU32", [](MessageTableHandle t) { return convertFrameToChannelU32(t, 0x100, words, values); }},
        {"convertChannelToFrame", [](MessageTableHandle t) { return convertChannelToFrame(t, 0x100, values, payload); }},
        {"convertChannelToFrameU32 (unknown ID)",
         [](MessageTableHandle t) { return convertChannelToFrameU32(t, 0x555, values, words); }},
    };
    for (const auto& freezer : freezers) {
        SCOPED_TRACE(freezer.what);
        MessageTableHandle table = 0;
        ASSERT_EQ(createMessageTable(&table), kSuccess);
        ASSERT_EQ(addChannel(table, {.name = "a"}), kSuccess);
        EXPECT_GE(freezer.call(table), 0);
        EXPECT_EQ(addChannel(table, {.name = "b", .startBit = 8}), kErrTableInUse);
        EXPECT_EQ(addChannel(table, {.name = "c", .messageId = 0x200}), kErrTableInUse);
        uint32_t count = 0;
        EXPECT_EQ(getNumberOfMessageIDs(table, &count), kSuccess);
        EXPECT_EQ(count, 1u);
        EXPECT_EQ(closeMessageTable(table), kSuccess);
    }
}

// Checks of a frozen table come in order: argument faults before in-use.
TEST_F(ChannelDefinitions, InUseComesAfterArgumentChecks) {
    uint32_t count = 0;
    ASSERT_EQ(getNumberOfMessageIDs(table, &count), kSuccess);
    EXPECT_EQ(addChannel(table, {.name = "a", .bitCount = 0}), kErrInvalidBitLayout);
    EXPECT_EQ(addChannel(table, {.name = "a", .payloadSize = 9}), kErrInvalidMessageSize);
    EXPECT_EQ(addChannel(table, {.name = "a"}), kErrTableInUse);
}

}  // namespace
}  // namespace canxlate::test
