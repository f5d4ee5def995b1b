// Adding channels: the order of the checks, the layout rules, duplicate names,
// overlaps, the message's fixed payload size and the in-use rule.
#include <random>
#include <string>
#include <vector>

#include "api_test_support.h"

namespace canxlate::test {
namespace {

struct AddRow {
    const char* what;
    ChannelSpec spec;
    int32_t expected;  // on an open table, adding the rows in order
};

constexpr uint32_t kMotorola = kByteOrderMotorola, kFloat = kDataTypeFloat, kSigned = kDataTypeSigned;

// clang-format off
const AddRow kRows[] = {
    {"unsigned 52 bits", {.name = "u52", .bitCount = 52}, kSuccess},
    {"later channel keeps the size 8", {.name = "s4", .startBit = 52, .bitCount = 4, .payloadSize = 4}, kSuccess},
    {"unsigned 53 bits", {.name = "u53", .bitCount = 53}, kErrInvalidBitLayout},
    {"signed 53 bits", {.name = "s53", .bitCount = 53, .dataType = kSigned}, kErrInvalidBitLayout},
    {"bit count 0", {.name = "zero", .bitCount = 0}, kErrInvalidBitLayout},
    {"float 16 bits", {.name = "f16", .bitCount = 16, .dataType = kFloat}, kErrInvalidBitLayout},
    {"float 65 bits", {.name = "f65", .bitCount = 65, .dataType = kFloat}, kErrInvalidBitLayout},
    {"float 64 Intel at 0", {.name = "f64", .bitCount = 64, .dataType = kFloat, .messageId = 2}, kSuccess},
    {"float 32 Intel at 32", {.name = "f32", .startBit = 32, .bitCount = 32, .dataType = kFloat, .messageId = 3}, kSuccess},
    {"float 64 Intel at 1", {.name = "f64", .startBit = 1, .bitCount = 64, .dataType = kFloat, .messageId = 3}, kErrInvalidBitLayout},
    {"float 64 Motorola at 56", {.name = "f64", .startBit = 56, .bitCount = 64, .dataType = kFloat, .byteOrder = kMotorola, .messageId = 4}, kSuccess},
    {"Intel start 63, 1 bit", {.name = "i63", .startBit = 63, .bitCount = 1, .messageId = 5}, kSuccess},
    {"Motorola start 63, 1 bit", {.name = "m63", .startBit = 63, .bitCount = 1, .byteOrder = kMotorola, .messageId = 6}, kSuccess},
    {"Intel start 64", {.name = "i64", .startBit = 64, .bitCount = 1}, kErrInvalidBitLayout},
    {"Motorola start 64", {.name = "m64", .startBit = 64, .bitCount = 1, .byteOrder = kMotorola}, kErrInvalidBitLayout},
    {"Intel past bit 63", {.name = "i60", .startBit = 60, .bitCount = 5, .messageId = 9}, kErrInvalidBitLayout},
    {"Motorola reaching before byte 0", {.name = "m4", .startBit = 4, .bitCount = 8, .byteOrder = kMotorola, .messageId = 7}, kSuccess},
    {"data type 3, tested before byte order", {.name = "t", .dataType = 3, .byteOrder = 5}, kErrInvalidDataType},
    {"byte order 2, tested before layout", {.name = "t", .bitCount = 0, .byteOrder = 2}, kErrInvalidByteOrder},
    {"layout tested before size", {.name = "t", .bitCount = 0, .payloadSize = 9}, kErrInvalidBitLayout},
    {"payload size 9, also for an existing message", {.name = "p9", .startBit = 56, .payloadSize = 9}, kErrInvalidMessageSize},
    {"payload size 0", {.name = "p0", .messageId = 8, .payloadSize = 0}, kSuccess},
    // The first existing channel with the name or a meeting bit range decides;
    // ranges are compared as numbers whatever the byte order.
    {"Speed", {.name = "Speed", .messageId = 0x300}, kSuccess},
    {"Rpm", {.name = "Rpm", .startBit = 8, .messageId = 0x300}, kSuccess},
    {"duplicate Speed", {.name = "Speed", .startBit = 16, .messageId = 0x300}, kErrDuplicateChannelName},
    {"names are case-sensitive", {.name = "speed", .startBit = 16, .messageId = 0x300}, kSuccess},
    {"the same name in another message", {.name = "Speed", .messageId = 0x301}, kSuccess},
    {"overlap with Speed comes before Rpm's name", {.name = "Rpm", .startBit = 7, .bitCount = 1, .messageId = 0x300}, kWarnBitsOverlap},
    {"just after speed", {.name = "T", .startBit = 24, .bitCount = 1, .messageId = 0x300}, kSuccess},
    {"Motorola after Speed", {.name = "M", .startBit = 8, .bitCount = 16, .byteOrder = kMotorola, .messageId = 0x301}, kSuccess},
    {"A at bit 8", {.name = "A", .startBit = 8, .bitCount = 1, .messageId = 0x302}, kSuccess},
    {"meets M numerically", {.name = "B", .startBit = 23, .bitCount = 4, .byteOrder = kMotorola, .messageId = 0x301}, kWarnBitsOverlap},
    {"ends just before A's bit", {.name = "D", .startBit = 0, .bitCount = 8, .messageId = 0x302}, kSuccess},
    {"ends on A's bit", {.name = "C", .startBit = 0, .bitCount = 9, .messageId = 0x302}, kWarnBitsOverlap},
};
// clang-format on

bool refusedBeforeInUse(int32_t status) {
    return status == kErrInvalidDataType || status == kErrInvalidByteOrder || status == kErrInvalidBitLayout ||
           status == kErrInvalidMessageSize;
}

// On a frozen table the argument checks still come first; everything else is
// refused as in use, before any name is compared. No error changes the table.
TEST(ChannelDefinitions, ValidationRulesAndTheirOrder) {
    for (bool frozen : {false, true}) {
        MessageTableHandle table = 0;
        ASSERT_EQ(createMessageTable(&table), kSuccess);
        uint32_t added = 0, count = 0;
        if (frozen) {
            ASSERT_EQ(getNumberOfMessageIDs(table, &count), kSuccess);
        }
        for (const auto& row : kRows) {
            SCOPED_TRACE(row.what);
            const int32_t expected = frozen && !refusedBeforeInUse(row.expected) ? kErrTableInUse : row.expected;
            EXPECT_EQ(addChannel(table, row.spec), expected);
            added += expected >= 0;
        }
        uint32_t total = 0, ids[16] = {};
        ASSERT_EQ(getNumberOfMessageIDs(table, &count), kSuccess);
        ASSERT_LE(count, 16u);
        ASSERT_EQ(getMessageIDs(table, ids), kSuccess);
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t channels = 0;
            ASSERT_EQ(getNumberOfChannels(table, ids[i], &channels), kSuccess);
            total += channels;
        }
        EXPECT_EQ(total, added);
        uint32_t largest = 0;
        ASSERT_EQ(getLargestNumberOfChannels(table, &largest), kSuccess);
        EXPECT_EQ(largest, frozen ? 0u : 5u);  // message 0x300
        uint8_t size = 0;
        EXPECT_EQ(getMessageSize(table, 0x100, &size), frozen ? kErrUnknownMessage : kSuccess);
        EXPECT_EQ(size, frozen ? 0 : 8);
        EXPECT_EQ(closeMessageTable(table), kSuccess);
    }
}

// A message of hundreds of channels follows the same first-decides rule as a
// small one: each status equals the one a walk over the earlier channels gives.
TEST(ChannelDefinitions, ManyChannelsInOneMessageFollowTheSameRule) {
    MessageTableHandle table = 0;
    ASSERT_EQ(createMessageTable(&table), kSuccess);
    struct Added {
        std::string name;
        uint32_t first, last;
    };
    std::vector<Added> added;
    std::mt19937 random(7);
    for (int i = 0; i < 400; ++i) {
        std::string name = "c" + std::to_string(random() % 300);
        uint32_t startBit = random() % 64, bitCount = 1 + random() % (i < 200 ? 2 : 40);
        if (random() % 4 == 0) {  // the name of the first channel on this bit: both rules meet there
            bitCount = 1;
            for (const Added& earlier : added)
                if (earlier.first <= startBit && startBit <= earlier.last) {
                    name = earlier.name;
                    break;
                }
        }
        const uint32_t byteOrder = startBit + bitCount > 64 ? uint32_t{kByteOrderMotorola} : uint32_t(random() % 2);
        int32_t expected = kSuccess;
        for (const Added& earlier : added) {
            if (earlier.name == name)
                expected = kErrDuplicateChannelName;
            else if (startBit <= earlier.last && earlier.first <= startBit + bitCount - 1)
                expected = kWarnBitsOverlap;
            if (expected != kSuccess) break;
        }
        SCOPED_TRACE(i);
        ASSERT_EQ(addChannel(table, {.name = name, .startBit = startBit, .bitCount = bitCount, .byteOrder = byteOrder}),
                  expected);
        if (expected >= 0) added.push_back({name, startBit, startBit + bitCount - 1});
    }
    EXPECT_EQ(closeMessageTable(table), kSuccess);
}

}  // namespace
}  // namespace canxlate::test
