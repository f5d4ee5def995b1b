// Handing out copies of channel names, and releasing them.
#include <string>

#include "api_test_support.h"

namespace canxlate::test {
namespace {

using ChannelNames = TableTest;

std::vector<std::string> fetchNames(MessageTableHandle table, uint32_t messageId, char*** keep = nullptr) {
    uint32_t count = 0;
    char** names = nullptr;
    EXPECT_EQ(xcvtGetChannelNames(table, messageId, &count, &names), kSuccess);
    std::vector<std::string> result(names, names + count);
    if (keep != nullptr)
        *keep = names;
    else
        EXPECT_EQ(xcvtDeleteArray(names, count), kSuccess);
    return result;
}

TEST_F(ChannelNames, NamesInDefinitionOrderAndFreezing) {
    ASSERT_EQ(addChannel(table, {.name = "Speed", .startBit = 0}), kSuccess);
    ASSERT_EQ(addChannel(table, {.name = "Rpm", .startBit = 8}), kSuccess);
    ASSERT_EQ(addChannel(table, {.name = "Temp", .startBit = 16}), kSuccess);
    ASSERT_EQ(addChannel(table, {.name = "", .startBit = 24}), kSuccess);
    const auto names = fetchNames(table, 0x100);
    EXPECT_EQ(names, (std::vector<std::string>{"Speed", "Rpm", "Temp", ""}));
    EXPECT_EQ(fetchNames(table, 0x100), names);
    EXPECT_TRUE(isFrozen());
}

TEST_F(ChannelNames, ArgumentChecksAndUnknownMessageDoNotFreeze) {
    ASSERT_EQ(addChannel(table, {.name = "a"}), kSuccess);
    uint32_t count = 77;
    char** names = reinterpret_cast<char**>(&count);
    EXPECT_EQ(xcvtGetChannelNames(table, 0x100, nullptr, &names), kErrNullArgument);
    EXPECT_EQ(xcvtGetChannelNames(table, 0x100, &count, nullptr), kErrNullArgument);
    EXPECT_EQ(xcvtGetChannelNames(table, 0x999, &count, &names), kErrUnknownMessage);
    EXPECT_EQ(count, 77u);
    EXPECT_EQ(names, reinterpret_cast<char**>(&count));
    EXPECT_FALSE(isFrozen());
    EXPECT_EQ(xcvtDeleteArray(nullptr, 3), kErrNullArgument);
}

TEST_F(ChannelNames, CopiesOutliveTheTable) {
    ASSERT_EQ(addChannel(table, {.name = "Engine.Speed"}), kSuccess);
    char** names = nullptr;
    fetchNames(table, 0x100, &names);
    ASSERT_EQ(closeMessageTable(table), kSuccess);
    table = 0;
    EXPECT_STREQ(names[0], "Engine.Speed");
    EXPECT_EQ(xcvtDeleteArray(names, 1), kSuccess);
}

// Release frees the strings too: a long get/delete loop must not grow memory
// (the sanitizer build checks for leaks at exit).
TEST_F(ChannelNames, ManyRoundsOfGetAndDelete) {
    for (int i = 0; i < 16; ++i)
        ASSERT_EQ(addChannel(table, {.name = "channel name " + std::to_string(i), .startBit = 4u * i, .bitCount = 4}),
                  kSuccess);
    for (int round = 0; round < 20000; ++round) {
        uint32_t count = 0;
        char** names = nullptr;
        ASSERT_EQ(xcvtGetChannelNames(table, 0x100, &count, &names), kSuccess);
        ASSERT_EQ(count, 16u);
        ASSERT_EQ(xcvtDeleteArray(names, count), kSuccess);
    }
    // Count 0 releases only the array; the strings stay the caller's.
    uint32_t count = 0;
    char** names = nullptr;
    ASSERT_EQ(xcvtGetChannelNames(table, 0x100, &count, &names), kSuccess);
    std::vector<char*> strings(names, names + count);
    EXPECT_EQ(xcvtDeleteArray(names, 0), kSuccess);
    EXPECT_STREQ(strings[15], "channel name 15");
    for (char* string : strings) delete[] string;
}

}  // namespace
}  // namespace canxlate::test
