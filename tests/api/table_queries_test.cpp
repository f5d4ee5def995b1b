// The rules every export shares (argument order, handle validation, freezing,
// untouched outputs), the table life cycle, the queries and the name copies.
#include <algorithm>
#include <cstring>
#include <set>

#include "api_test_support.h"

namespace canxlate::test {
namespace {

// Every output buffer; filled with 0xAB before a call, so "left untouched" is
// a comparison with that pattern. `guard` follows the one-byte size.
struct Outputs {
    uint8_t payload[8];
    uint32_t words[2], count, ids[4];
    uint8_t size, guard;
    double values[4];
    char** names;
} out, pattern;

struct ExportRow {
    const char* what;
    // Calls the export on message `id`; with `null` set one pointer is NULL.
    int32_t (*call)(MessageTableHandle t, uint32_t id, bool null);
    int32_t unknownStatus;  // for a message the table does not have
    bool freezes, freezesOnUnknown;
};

int32_t names(MessageTableHandle t, uint32_t id, uint32_t* count, char*** list) {
    const int32_t status = xcvtGetChannelNames(t, id, count, list);
    if (status == kSuccess) {
        EXPECT_EQ(xcvtDeleteArray(*list, *count), kSuccess);
    }
    return status;
}

using H = MessageTableHandle;
// clang-format off
const ExportRow kExports[] = {
    {"getNumberOfMessageIDs", [](H t, uint32_t, bool n) { return getNumberOfMessageIDs(t, n ? nullptr : &out.count); }, kSuccess, true, true},
    {"getMessageIDs", [](H t, uint32_t, bool n) { return getMessageIDs(t, n ? nullptr : out.ids); }, kSuccess, true, true},
    {"getMessageSize", [](H t, uint32_t id, bool n) { return getMessageSize(t, id, n ? nullptr : &out.size); }, kErrUnknownMessage, true, true},
    {"getNumberOfChannels", [](H t, uint32_t id, bool n) { return getNumberOfChannels(t, id, n ? nullptr : &out.count); }, kErrUnknownMessage, true, true},
    {"getLargestNumberOfChannels", [](H t, uint32_t, bool n) { return getLargestNumberOfChannels(t, n ? nullptr : &out.count); }, kSuccess, false, false},
    {"xcvtGetChannelNames count", [](H t, uint32_t id, bool n) { return names(t, id, n ? nullptr : &out.count, &out.names); }, kErrUnknownMessage, true, false},
    {"xcvtGetChannelNames names", [](H t, uint32_t id, bool n) { return names(t, id, &out.count, n ? nullptr : &out.names); }, kErrUnknownMessage, true, false},
    {"convertFrameToChannel payload", [](H t, uint32_t id, bool n) { return convertFrameToChannel(t, id, n ? nullptr : out.payload, out.values); }, kWarnMessageNotFound, true, true},
    {"convertFrameToChannel values", [](H t, uint32_t id, bool n) { return convertFrameToChannel(t, id, out.payload, n ? nullptr : out.values); }, kWarnMessageNotFound, true, true},
    {"convertFrameToChannelU32 words", [](H t, uint32_t id, bool n) { return convertFrameToChannelU32(t, id, n ? nullptr : out.words, out.values); }, kWarnMessageNotFound, true, true},
    {"convertFrameToChannelU32 values", [](H t, uint32_t id, bool n) { return convertFrameToChannelU32(t, id, out.words, n ? nullptr : out.values); }, kWarnMessageNotFound, true, true},
    {"convertChannelToFrame values", [](H t, uint32_t id, bool n) { return convertChannelToFrame(t, id, n ? nullptr : out.values, out.payload); }, kWarnMessageNotFound, true, true},
    {"convertChannelToFrame payload", [](H t, uint32_t id, bool n) { return convertChannelToFrame(t, id, out.values, n ? nullptr : out.payload); }, kWarnMessageNotFound, true, true},
    {"convertChannelToFrameU32 values", [](H t, uint32_t id, bool n) { return convertChannelToFrameU32(t, id, n ? nullptr : out.values, out.words); }, kWarnMessageNotFound, true, true},
    {"convertChannelToFrameU32 words", [](H t, uint32_t id, bool n) { return convertChannelToFrameU32(t, id, out.values, n ? nullptr : out.words); }, kWarnMessageNotFound, true, true},
    {"addNewchannelDefinition name", [](H t, uint32_t id, bool n) { return addNewchannelDefinition(t, n ? nullptr : "new", "", 8, 8, 1, 0, 1, 0, 0, 0, id, 8); }, kSuccess, false, false},
    {"addNewchannelDefinition unit", [](H t, uint32_t id, bool n) { return addNewchannelDefinition(t, "new", n ? nullptr : "", 8, 8, 1, 0, 1, 0, 0, 0, id, 8); }, kSuccess, false, false},
};
// clang-format on

// Pointers are checked first, then the handle (0 and a value never handed
// out), then the message; which calls freeze the table, and what a call
// about an absent message leaves alone.
TEST(EveryExport, ChecksArgumentsInOrderAndFreezesAsDocumented) {
    std::memset(&pattern, 0xAB, sizeof pattern);
    for (const auto& row : kExports) {
        SCOPED_TRACE(row.what);
        H a = 0, b = 0;
        ASSERT_EQ(createMessageTable(&a), kSuccess);
        ASSERT_EQ(createMessageTable(&b), kSuccess);
        ASSERT_EQ(addChannel(a, {}), kSuccess);
        ASSERT_EQ(addChannel(b, {}), kSuccess);
        const H bogus = a + 8;  // inside a live table's object, never a handle
        EXPECT_EQ(row.call(0, 0x100, false), kErrNullArgument);
        EXPECT_EQ(row.call(bogus, 0x100, false), kErrInvalidTable);
        EXPECT_EQ(row.call(bogus, 0x100, true), kErrNullArgument);
        EXPECT_EQ(row.call(a, 0x100, true), kErrNullArgument);
        EXPECT_FALSE(isFrozen(a));
        std::memcpy(&out, &pattern, sizeof out);
        EXPECT_EQ(row.call(a, 0x999, false), row.unknownStatus);
        if (row.unknownStatus != kSuccess) {
            EXPECT_EQ(std::memcmp(&out, &pattern, sizeof out), 0);
        }
        EXPECT_EQ(isFrozen(a), row.freezesOnUnknown);
        std::memcpy(&out, &pattern, sizeof out);
        EXPECT_EQ(row.call(b, 0x100, false), kSuccess);
        EXPECT_EQ(out.guard, 0xAB);  // the size is one byte
        EXPECT_EQ(isFrozen(b), row.freezes);
        EXPECT_EQ(closeMessageTable(a), kSuccess);
        EXPECT_EQ(closeMessageTable(b), kSuccess);
    }
}

TEST(TableLifecycle, HandlesAreDistinctAndDieWithTheirTable) {
    EXPECT_EQ(createMessageTable(nullptr), kErrNullArgument);
    EXPECT_EQ(closeMessageTable(0), kErrNullArgument);
    EXPECT_EQ(xcvtDeleteArray(nullptr, 3), kErrNullArgument);
    EXPECT_EQ(inputStringBufferAdd(nullptr), kErrNullArgument);
    EXPECT_EQ(addNewchannelDefinition(1, "a", "", 0, 8, 9, 0, 1, 0, 0, 0, 1, 8), kErrInvalidTable);  // before type
    // Enough tables that the registry grows past its first bucket counts.
    std::vector<H> handles(800);
    for (auto& handle : handles) ASSERT_EQ(createMessageTable(&handle), kSuccess);
    EXPECT_EQ(std::set<H>(handles.begin(), handles.end()).size(), handles.size());
    EXPECT_EQ(std::count(handles.begin(), handles.end(), H{0}), 0);
    uint32_t count = 1, ids[1] = {7};
    EXPECT_EQ(getMessageIDs(handles[1], ids), kSuccess);
    EXPECT_EQ(ids[0], 7u);  // an empty table writes no ID
    for (size_t i = 0; i < handles.size(); i += 2) ASSERT_EQ(closeMessageTable(handles[i]), kSuccess);
    for (size_t i = 0; i < handles.size(); ++i)
        ASSERT_EQ(getLargestNumberOfChannels(handles[i], &count), i % 2 == 0 ? kErrInvalidTable : kSuccess);
    EXPECT_EQ(count, 0u);
    for (size_t i = 0; i < handles.size(); ++i)
        ASSERT_EQ(closeMessageTable(handles[i]), i % 2 == 0 ? kErrInvalidTable : kSuccess);
}

using Queries = TableTest;

// IDs come in the table's iteration order (193 buckets, a new ID at the head
// of its bucket's chain); names in definition order, as copies that outlive
// the table.
TEST_F(Queries, IdsInIterationOrderNamesInDefinitionOrder) {
    for (uint32_t id : {256u, 100u, 5u, 198u, 0u, 75077u}) ASSERT_EQ(addChannel(table, {.messageId = id}), kSuccess);
    for (const char* name : {"Speed", "Rpm", ""}) ASSERT_GE(addChannel(table, {.name = name, .messageId = 9}), 0);
    EXPECT_EQ(messageIds(), (std::vector<uint32_t>{75077, 0, 198, 5, 9, 256, 100}));
    uint32_t count = 0;
    char** names = nullptr;
    ASSERT_EQ(xcvtGetChannelNames(table, 9, &count, &names), kSuccess);
    ASSERT_EQ(closeMessageTable(table), kSuccess);
    table = 0;
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(std::vector<std::string>(names, names + count), (std::vector<std::string>{"Speed", "Rpm", ""}));
    // Count 0 releases only the array; the strings stay the caller's.
    std::vector<char*> strings(names, names + count);
    EXPECT_EQ(xcvtDeleteArray(names, 0), kSuccess);
    EXPECT_STREQ(strings[1], "Rpm");
    for (char* string : strings) delete[] string;
}

}  // namespace
}  // namespace canxlate::test
