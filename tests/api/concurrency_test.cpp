// Threads: conversions on a frozen table while other threads create, fill and
// close tables (run under ThreadSanitizer in CI), and what one thread's calls
// leave for the others.
#include <atomic>
#include <thread>

#include "api_test_support.h"

namespace canxlate::test {
namespace {

TEST(Concurrency, ConversionsWhileTablesComeAndGo) {
    MessageTableHandle shared = 0;
    ASSERT_EQ(createMessageTable(&shared), kSuccess);
    const ChannelSpec specs[] = {
        {.name = "a", .bitCount = 16},
        {.name = "b", .startBit = 16, .bitCount = 12, .dataType = kDataTypeSigned, .factor = 0.5},
        {.name = "c", .startBit = 56, .bitCount = 16, .byteOrder = kByteOrderMotorola}};
    for (const auto& spec : specs) ASSERT_EQ(addChannel(shared, spec), kSuccess);
    std::atomic<bool> stop{false};
    std::atomic<int> failures{0};
    auto converter = [&](uint32_t seed) {
        for (uint32_t round = 1; !stop.load() || round <= 2000; ++round) {
            double in[3] = {double((seed * 7919 + round) % 65536), (double(round % 4096) - 2048) * 0.5,
                            double((round * 31 + seed) % 65536)};
            double out[3] = {};
            uint8_t payload[8];
            convertChannelToFrame(shared, 0x100, in, payload);
            convertFrameToChannel(shared, 0x100, payload, out);
            if (out[0] != in[0] || out[1] != in[1] || out[2] != in[2]) failures.fetch_add(1);
        }
    };
    std::vector<std::thread> threads;
    for (uint32_t i = 0; i < 3; ++i) threads.emplace_back(converter, i);
    for (uint32_t round = 0; round < 300; ++round) {
        MessageTableHandle table = 0;
        EXPECT_EQ(createMessageTable(&table), kSuccess);  // no ASSERT: the converters must be joined
        for (uint32_t id = 0; id < 4; ++id) EXPECT_EQ(addChannel(table, {.messageId = id * 1000 + round}), kSuccess);
        uint32_t count = 0;
        EXPECT_EQ(getNumberOfMessageIDs(table, &count), kSuccess);
        EXPECT_EQ(count, 4u);
        EXPECT_EQ(closeMessageTable(table), kSuccess);
    }
    stop.store(true);
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(closeMessageTable(shared), kSuccess);
}

// Guarded calls that fail after taking the lock leave it: another thread can
// take it afterwards.
TEST(Concurrency, FailedGuardedCallsReleaseTheLock) {
    MessageTableHandle table = 0;
    ASSERT_EQ(createMessageTable(&table), kSuccess);
    ASSERT_EQ(addChannel(table, {}), kSuccess);
    EXPECT_EQ(addChannel(table, {}), kErrDuplicateChannelName);
    uint32_t count = 0;
    char** names = nullptr;
    EXPECT_EQ(xcvtGetChannelNames(table, 0x999, &count, &names), kErrUnknownMessage);
    EXPECT_EQ(getNumberOfMessageIDs(table, &count), kSuccess);
    EXPECT_EQ(addChannel(table, {.name = "b"}), kErrTableInUse);
    int32_t fromOtherThread = 0;
    std::thread([&] { fromOtherThread = closeMessageTable(table); }).join();
    EXPECT_EQ(fromOtherThread, kSuccess);
}

// A thread that used a table before another thread closed it is refused on
// its next call: what it remembers of earlier validations does not outlive
// the table.
TEST(Concurrency, ClosedOnAnotherThreadIsInvalidEverywhere) {
    MessageTableHandle table = 0;
    ASSERT_EQ(createMessageTable(&table), kSuccess);
    ASSERT_EQ(addChannel(table, {}), kSuccess);
    const uint8_t payload[8] = {42};
    double value = 0;
    ASSERT_EQ(convertFrameToChannel(table, 0x100, payload, &value), kSuccess);
    std::thread([&] { EXPECT_EQ(closeMessageTable(table), kSuccess); }).join();
    EXPECT_EQ(convertFrameToChannel(table, 0x100, payload, &value), kErrInvalidTable);
    // A new table, possibly at the same address, is valid under its handle.
    MessageTableHandle fresh = 0;
    ASSERT_EQ(createMessageTable(&fresh), kSuccess);
    uint32_t count = 1;
    EXPECT_EQ(getNumberOfMessageIDs(fresh, &count), kSuccess);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(closeMessageTable(fresh), kSuccess);
}

}  // namespace
}  // namespace canxlate::test
