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

#include "../api/api_test_support.h"
#include "canxlatelib/frame/library_lifecycle.h"

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

namespace canxlate::test {
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

TEST(AllocationFailure, CreatingATableFailsCleanly) {
    MessageTableHandle table = 77;
    EXPECT_GT(failEachAllocationOf([&] { return createMessageTable(&table); }, [&] { EXPECT_EQ(table, 0u); }), 0);
    EXPECT_EQ(closeMessageTable(table), kSuccess);
}

// A load that runs out of memory leaves no table registry behind; creating a
// table then fails as out of memory.
TEST(AllocationFailure, ALoadWithoutMemoryLeavesTablesUncreatable) {
    const int allocations = failEachAllocationOf(
        [] {
            detachProcess();
            return attachProcess() ? kSuccess : kErrOutOfMemory;
        },
        [] {
            MessageTableHandle table = 77;
            EXPECT_EQ(createMessageTable(&table), kErrOutOfMemory);
            EXPECT_EQ(table, 0u);
            EXPECT_EQ(closeMessageTable(1), kErrInvalidTable);
            EXPECT_EQ(inputStringBufferAdd("x"), kErrOutOfMemory);
        });
    EXPECT_GE(allocations, 3);  // registry, selection, name list, lock
    MessageTableHandle table = 0;
    ASSERT_EQ(createMessageTable(&table), kSuccess);
    EXPECT_EQ(closeMessageTable(table), kSuccess);
}

TEST(AllocationFailure, AddingLeavesTheTableUnchanged) {
    MessageTableHandle table = 0;
    ASSERT_EQ(createMessageTable(&table), kSuccess);
    // Names and units too long for any small-string buffer; 193 messages, so
    // that the next new one makes the map grow to 389 buckets.
    const std::string longText(60, 'n');
    for (uint32_t id = 0; id < 193; ++id) ASSERT_EQ(addChannel(table, {.name = longText, .messageId = id}), kSuccess);
    // A channel of an existing message (its channel list grows), then a new
    // message; the specs are built before any allocation is made to fail.
    const ChannelSpec specs[] = {{.name = longText + "2", .startBit = 8, .messageId = 5, .unit = longText},
                                 {.messageId = 1000}};
    uint32_t expected = 1;
    for (const ChannelSpec& spec : specs) {
        const auto unchanged = [&] {
            uint32_t largest = 0;
            ASSERT_EQ(getLargestNumberOfChannels(table, &largest), kSuccess);
            EXPECT_EQ(largest, expected);
        };
        EXPECT_GT(failEachAllocationOf([&] { return addChannel(table, spec); }, unchanged), 0);
        expected = 2;
    }
    uint32_t messages = 0;
    ASSERT_EQ(getNumberOfMessageIDs(table, &messages), kSuccess);
    EXPECT_EQ(messages, 194u);
    EXPECT_EQ(channelNames(table, 5), (std::vector<std::string>{longText, longText + "2"}));
    EXPECT_EQ(closeMessageTable(table), kSuccess);
}

TEST(AllocationFailure, NameExportHandsOutNothing) {
    MessageTableHandle table = 0;
    ASSERT_EQ(createMessageTable(&table), kSuccess);
    for (uint32_t i = 0; i < 5; ++i) {
        const std::string name = "a channel name that needs its own heap block, number " + std::to_string(i);
        ASSERT_EQ(addChannel(table, {.name = name, .startBit = 8 * i, .messageId = 9}), kSuccess);
    }
    uint32_t count = 123;
    char** names = nullptr;
    uint32_t probe = 100;
    EXPECT_GT(failEachAllocationOf([&] { return xcvtGetChannelNames(table, 9, &count, &names); },
                                   [&] {
                                       EXPECT_EQ(count, 123u);
                                       EXPECT_EQ(names, nullptr);
                                       // Not frozen by the failed call.
                                       EXPECT_EQ(addChannel(table, {.messageId = probe++}), kSuccess);
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
}  // namespace canxlate::test
