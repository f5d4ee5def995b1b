// Running out of memory at any allocation of a call: the call reports
// kErrOutOfMemory and leaves tables, selection and outputs as they were.
// The test program replaces the global allocation functions so that one
// chosen allocation fails.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "canxlatelib.h"

namespace {

// -1: never fail; k >= 0: the allocation after k more succeeds throws.
std::atomic<long> g_allocationsBeforeFailure{-1};

void* allocate(std::size_t size) {
    long left = g_allocationsBeforeFailure.load();
    while (left >= 0 && !g_allocationsBeforeFailure.compare_exchange_weak(left, left - 1)) {
    }
    if (left == 0) throw std::bad_alloc();
    void* memory = std::malloc(size != 0 ? size : 1);
    if (memory == nullptr) throw std::bad_alloc();
    return memory;
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace canxlate {
namespace {

// Fails the first, second, ... allocation of call until the call gets through
// without failing; after every failure, check must find nothing changed.
// Returns how many allocations the call makes.
int failEachAllocationOf(const std::function<int32_t()>& call, const std::function<void()>& check) {
    for (long k = 0; k < 10000; ++k) {
        g_allocationsBeforeFailure = k;
        const int32_t status = call();
        const bool failed = g_allocationsBeforeFailure.load() < 0;
        g_allocationsBeforeFailure = -1;
        if (!failed) {
            EXPECT_GE(status, 0);
            return static_cast<int>(k);
        }
        SCOPED_TRACE("allocation " + std::to_string(k));
        EXPECT_EQ(status, kErrOutOfMemory);
        check();
    }
    ADD_FAILURE() << "the call never got through";
    return -1;
}

std::vector<std::string> channelNames(MessageTableHandle table, uint32_t id) {
    uint32_t count = 0;
    char** names = nullptr;
    if (xcvtGetChannelNames(table, id, &count, &names) != kSuccess) return {};
    std::vector<std::string> result(names, names + count);
    xcvtDeleteArray(names, count);
    return result;
}

TEST(AllocationFailure, CreatingATableFailsCleanly) {
    MessageTableHandle table = 77;
    const int allocations = failEachAllocationOf([&] { return createMessageTable(&table); },
                                                 [&] { EXPECT_EQ(table, 0u); });
    EXPECT_GT(allocations, 0);
    EXPECT_EQ(closeMessageTable(table), kSuccess);
}

TEST(AllocationFailure, AddingLeavesTheTableUnchanged) {
    MessageTableHandle table = 0;
    ASSERT_EQ(createMessageTable(&table), kSuccess);
    // Enough messages that the next new one makes the map grow.
    for (uint32_t id = 0; id < 193; ++id)
        ASSERT_EQ(addNewchannelDefinition(table, "a", "", 0, 8, 1, 0, 1, 0, 0, 0, id, 8), kSuccess);
    for (uint32_t i = 1; i < 4; ++i) {
        const std::string name = "channel with a name too long for any small-string buffer " + std::to_string(i);
        ASSERT_EQ(addNewchannelDefinition(table, name.c_str(), "", 8 * i, 8, 1, 0, 1, 0, 0, 0, 5, 8), kSuccess);
    }
    uint32_t largest = 0;
    const auto unchanged = [&] {
        ASSERT_EQ(getLargestNumberOfChannels(table, &largest), kSuccess);
        EXPECT_EQ(largest, 4u);
    };
    // A new channel of an existing message (its channel list grows), then a
    // new message (the map grows from 193 to 389 buckets).
    EXPECT_GT(failEachAllocationOf(
                  [&] {
                      return addNewchannelDefinition(table, "a fifth channel with a long name of its own", "a long unit text",
                                                     40, 8, 1, 0, 1, 0, 0, 0, 5, 8);
                  },
                  unchanged),
              0);
    EXPECT_GT(failEachAllocationOf(
                  [&] { return addNewchannelDefinition(table, "b", "", 0, 8, 1, 0, 1, 0, 0, 0, 1000, 8); },
                  [&] {
                      ASSERT_EQ(getLargestNumberOfChannels(table, &largest), kSuccess);
                      EXPECT_EQ(largest, 5u);
                  }),
              0);
    uint32_t messages = 0;
    ASSERT_EQ(getNumberOfMessageIDs(table, &messages), kSuccess);
    EXPECT_EQ(messages, 194u);
    EXPECT_EQ(channelNames(table, 5).size(), 5u);
    EXPECT_EQ(closeMessageTable(table), kSuccess);
}

TEST(AllocationFailure, NameExportHandsOutNothing) {
    MessageTableHandle table = 0;
    ASSERT_EQ(createMessageTable(&table), kSuccess);
    for (uint32_t i = 0; i < 5; ++i) {
        const std::string name = "a channel name that needs its own heap block, number " + std::to_string(i);
        ASSERT_EQ(addNewchannelDefinition(table, name.c_str(), "", 8 * i, 8, 1, 0, 1, 0, 0, 0, 9, 8), kSuccess);
    }
    uint32_t count = 123;
    char** names = nullptr;
    uint32_t probe = 100;
    EXPECT_GT(failEachAllocationOf([&] { return xcvtGetChannelNames(table, 9, &count, &names); },
                                   [&] {
                                       EXPECT_EQ(count, 123u);
                                       EXPECT_EQ(names, nullptr);
                                       // Not frozen by the failed call.
                                       EXPECT_EQ(addNewchannelDefinition(table, "x", "", 0, 1, 1, 0, 1, 0, 0, 0,
                                                                         probe++, 8),
                                                 kSuccess);
                                   }),
              0);
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(xcvtDeleteArray(names, count), kSuccess);
    EXPECT_EQ(closeMessageTable(table), kSuccess);
}

TEST(AllocationFailure, SelectionNameIsNotHalfAdded) {
    const std::string longName(200, 'n');
    EXPECT_GT(failEachAllocationOf([&] { return inputStringBufferAdd(longName.c_str()); }, [] {}), 0);
    // The one name that got in selects nothing in a missing file; the failed
    // import consumes it and leaves the lock free for the next test.
    MessageTableHandle table = 0;
    ASSERT_EQ(createMessageTable(&table), kSuccess);
    EXPECT_EQ(addChannelDefinitionFromFile("missing.zcd", table), kErrFileFormat);
    EXPECT_EQ(closeMessageTable(table), kSuccess);
}

}  // namespace
}  // namespace canxlate
