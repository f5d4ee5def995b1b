// Table life cycle, handle validation, the queries and the order of message IDs.
#include <set>

#include "api_test_support.h"

namespace canxlate::test {
namespace {

TEST(TableLifecycle, CreateAndCloseValidateTheirArguments) {
    EXPECT_EQ(createMessageTable(nullptr), kErrNullArgument);
    EXPECT_EQ(closeMessageTable(0), kErrNullArgument);

    MessageTableHandle first = 0, second = 0;
    ASSERT_EQ(createMessageTable(&first), kSuccess);
    ASSERT_EQ(createMessageTable(&second), kSuccess);
    EXPECT_NE(first, 0u);
    EXPECT_NE(first, second);
    EXPECT_EQ(closeMessageTable(first), kSuccess);
    EXPECT_EQ(closeMessageTable(first), kErrInvalidTable);
    EXPECT_EQ(closeMessageTable(second), kSuccess);
}

// Every export that takes a handle refuses one that was never handed out, and
// 0, before looking at anything else.
TEST(TableLifecycle, EveryExportRefusesUnknownAndNullHandles) {
    MessageTableHandle live = 0;
    ASSERT_EQ(createMessageTable(&live), kSuccess);
    const MessageTableHandle bogus = live + 8;  // inside the live table's object, never a handle
    uint32_t u32 = 0, ids[4] = {};
    uint8_t size = 0, payload[8] = {};
    uint32_t words[2] = {};
    double values[4] = {};
    char** names = nullptr;
    for (MessageTableHandle handle : {MessageTableHandle{0}, bogus}) {
        const int32_t expected = handle == 0 ? kErrNullArgument : kErrInvalidTable;
        SCOPED_TRACE(handle);
        EXPECT_EQ(closeMessageTable(handle), expected);
        EXPECT_EQ(getNumberOfMessageIDs(handle, &u32), expected);
        EXPECT_EQ(getMessageIDs(handle, ids), expected);
        EXPECT_EQ(getMessageSize(handle, 1, &size), expected);
        EXPECT_EQ(getNumberOfChannels(handle, 1, &u32), expected);
        EXPECT_EQ(getLargestNumberOfChannels(handle, &u32), expected);
        EXPECT_EQ(xcvtGetChannelNames(handle, 1, &u32, &names), expected);
        EXPECT_EQ(addNewchannelDefinition(handle, "a", "", 0, 8, 1, 0, 1, 0, 0, 0, 1, 8), expected);
        EXPECT_EQ(convertFrameToChannel(handle, 1, payload, values), expected);
        EXPECT_EQ(convertFrameToChannelU32(handle, 1, words, values), expected);
        EXPECT_EQ(convertChannelToFrame(handle, 1, values, payload), expected);
        EXPECT_EQ(convertChannelToFrameU32(handle, 1, values, words), expected);
    }
    // None of that froze the live table.
    EXPECT_EQ(addNewchannelDefinition(live, "a", "", 0, 8, 1, 0, 1, 0, 0, 0, 1, 8), kSuccess);
    EXPECT_EQ(closeMessageTable(live), kSuccess);
}

// Handles keep working when the registry grows past its first bucket counts.
TEST(TableLifecycle, ManyTablesStayDistinctAndValid) {
    std::vector<MessageTableHandle> handles(800);
    for (auto& handle : handles) ASSERT_EQ(createMessageTable(&handle), kSuccess);
    EXPECT_EQ(std::set<MessageTableHandle>(handles.begin(), handles.end()).size(), handles.size());
    uint32_t count = 1;
    for (auto handle : handles) ASSERT_EQ(getLargestNumberOfChannels(handle, &count), kSuccess);
    for (size_t i = 0; i < handles.size(); i += 2) ASSERT_EQ(closeMessageTable(handles[i]), kSuccess);
    for (size_t i = 0; i < handles.size(); ++i)
        ASSERT_EQ(getLargestNumberOfChannels(handles[i], &count), i % 2 == 0 ? kErrInvalidTable : kSuccess);
    for (size_t i = 1; i < handles.size(); i += 2) ASSERT_EQ(closeMessageTable(handles[i]), kSuccess);
}

using Queries = TableTest;

TEST_F(Queries, NullOutPointersAreRefusedWithoutFreezing) {
    EXPECT_EQ(getNumberOfMessageIDs(table, nullptr), kErrNullArgument);
    EXPECT_EQ(getMessageIDs(table, nullptr), kErrNullArgument);
    EXPECT_EQ(getMessageSize(table, 1, nullptr), kErrNullArgument);
    EXPECT_EQ(getNumberOfChannels(table, 1, nullptr), kErrNullArgument);
    EXPECT_EQ(getLargestNumberOfChannels(table, nullptr), kErrNullArgument);
    EXPECT_FALSE(isFrozen());
}

TEST_F(Queries, EmptyTableReportsNothingAndFreezes) {
    uint32_t largest = 99;
    EXPECT_EQ(getLargestNumberOfChannels(table, &largest), kSuccess);
    EXPECT_EQ(largest, 0u);
    uint32_t ids[1] = {0xDEADBEEF};
    EXPECT_EQ(getMessageIDs(table, ids), kSuccess);
    EXPECT_EQ(ids[0], 0xDEADBEEFu);
    EXPECT_TRUE(messageIds().empty());
    EXPECT_TRUE(isFrozen());
}

TEST_F(Queries, LargestChannelCountLeavesTableOpen) {
    ASSERT_EQ(addChannel(table, {.name = "a", .messageId = 1}), kSuccess);
    ASSERT_EQ(addChannel(table, {.name = "b", .startBit = 8, .messageId = 1}), kSuccess);
    ASSERT_EQ(addChannel(table, {.name = "c", .messageId = 2}), kSuccess);
    uint32_t largest = 0;
    EXPECT_EQ(getLargestNumberOfChannels(table, &largest), kSuccess);
    EXPECT_EQ(largest, 2u);
    EXPECT_EQ(addChannel(table, {.name = "d", .startBit = 16, .messageId = 2}), kSuccess);
    EXPECT_EQ(addChannel(table, {.name = "e", .startBit = 24, .messageId = 2}), kSuccess);
    EXPECT_EQ(getLargestNumberOfChannels(table, &largest), kSuccess);
    EXPECT_EQ(largest, 3u);
}

TEST_F(Queries, SizeAndChannelCountOfKnownAndUnknownMessages) {
    ASSERT_EQ(addChannel(table, {.name = "a", .messageId = 7, .payloadSize = 4}), kSuccess);
    ASSERT_EQ(addChannel(table, {.name = "b", .startBit = 8, .messageId = 7, .payloadSize = 8}), kSuccess);
    // getMessageSize writes one byte and no more.
    uint8_t sizeAndGuard[2] = {0xAA, 0xAA};
    EXPECT_EQ(getMessageSize(table, 7, sizeAndGuard), kSuccess);
    EXPECT_EQ(sizeAndGuard[0], 4);
    EXPECT_EQ(sizeAndGuard[1], 0xAA);
    uint32_t count = 0;
    EXPECT_EQ(getNumberOfChannels(table, 7, &count), kSuccess);
    EXPECT_EQ(count, 2u);

    uint8_t size = 0xAA;
    count = 0xAAAA;
    EXPECT_EQ(getMessageSize(table, 8, &size), kErrUnknownMessage);
    EXPECT_EQ(getNumberOfChannels(table, 8, &count), kErrUnknownMessage);
    EXPECT_EQ(size, 0xAA);
    EXPECT_EQ(count, 0xAAAAu);
}

TEST_F(Queries, UnknownMessageQueryStillFreezes) {
    ASSERT_EQ(addChannel(table, {}), kSuccess);
    uint8_t size = 0;
    EXPECT_EQ(getMessageSize(table, 999, &size), kErrUnknownMessage);
    EXPECT_TRUE(isFrozen());
}

// The order of message IDs follows from the sequence of insertions: new IDs go
// to the head of their bucket's chain, and growth reverses a chain's order.
TEST_F(Queries, MessageIdsComeInIterationOrder) {
    for (uint32_t id : {256u, 100u, 5u, 198u}) ASSERT_EQ(addChannel(table, {.messageId = id}), kSuccess);
    EXPECT_EQ(messageIds(), (std::vector<uint32_t>{198, 5, 256, 100}));
}

TEST_F(Queries, MessageIdsAfterGrowth) {
    ASSERT_EQ(addChannel(table, {.messageId = 0}), kSuccess);
    ASSERT_EQ(addChannel(table, {.messageId = 75077}), kSuccess);  // 193 * 389: bucket 0 before and after growth
    MessageTableHandle probe = 0;
    ASSERT_EQ(createMessageTable(&probe), kSuccess);
    ASSERT_EQ(addChannel(probe, {.messageId = 0}), kSuccess);
    ASSERT_EQ(addChannel(probe, {.messageId = 75077}), kSuccess);
    uint32_t two[2] = {};
    ASSERT_EQ(getMessageIDs(probe, two), kSuccess);
    EXPECT_EQ(two[0], 75077u);
    EXPECT_EQ(two[1], 0u);
    ASSERT_EQ(closeMessageTable(probe), kSuccess);

    for (uint32_t id = 1; id <= 192; ++id) ASSERT_EQ(addChannel(table, {.messageId = id}), kSuccess);
    std::vector<uint32_t> expected = {0, 75077};
    for (uint32_t id = 1; id <= 192; ++id) expected.push_back(id);
    EXPECT_EQ(messageIds(), expected);
}

}  // namespace
}  // namespace canxlate::test
