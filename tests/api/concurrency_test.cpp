// Conversions on a frozen table from several threads while other threads
// create, fill and close tables (run under ThreadSanitizer in CI).
#include <atomic>
#include <thread>

#include "api_test_support.h"

namespace canxlate::test {
namespace {

TEST(Concurrency, ConversionsWhileTablesComeAndGo) {
    MessageTableHandle shared = 0;
    ASSERT_EQ(createMessageTable(&shared), kSuccess);
    ASSERT_EQ(addChannel(shared, {.name = "a", .startBit = 0, .bitCount = 16}), kSuccess);
    ASSERT_EQ(addChannel(shared, {.name = "b", .startBit = 16, .bitCount = 12, .dataType = kDataTypeSigned,
                                  .factor = 0.5, .offset = -3}),
              kSuccess);
    ASSERT_EQ(addChannel(shared, {.name = "c", .startBit = 56, .bitCount = 16, .byteOrder = kByteOrderMotorola}),
              kSuccess);

    std::atomic<bool> stop{false};
    std::atomic<int> failures{0};
    auto converter = [&](int seed) {
        uint32_t rounds = 0;
        while (!stop.load() || rounds < 2000) {
            ++rounds;
            const double a = static_cast<double>((seed * 7919 + rounds) % 65536);
            const double b = static_cast<double>(static_cast<int>((rounds * 13) % 4096) - 2048) * 0.5 - 3;
            const double c = static_cast<double>((rounds * 31 + seed) % 65536);
            double in[3] = {a, b, c}, out[3] = {};
            uint8_t payload[8];
            if (convertChannelToFrame(shared, 0x100, in, payload) != kSuccess ||
                convertFrameToChannel(shared, 0x100, payload, out) != kSuccess || out[0] != a || out[1] != b ||
                out[2] != c)
                failures.fetch_add(1);
        }
    };
    auto churner = [&] {
        for (int round = 0; round < 300; ++round) {
            MessageTableHandle table = 0;
            if (createMessageTable(&table) != kSuccess) {
                failures.fetch_add(1);
                continue;
            }
            for (uint32_t id = 0; id < 4; ++id)
                if (addChannel(table, {.name = "x", .messageId = id * 1000 + static_cast<uint32_t>(round)}) != kSuccess)
                    failures.fetch_add(1);
            uint32_t count = 0;
            if (getNumberOfMessageIDs(table, &count) != kSuccess || count != 4) failures.fetch_add(1);
            if (closeMessageTable(table) != kSuccess) failures.fetch_add(1);
        }
    };

    std::vector<std::thread> threads;
    for (int i = 0; i < 3; ++i) threads.emplace_back(converter, i);
    std::thread churn(churner);
    churn.join();
    stop.store(true);
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(closeMessageTable(shared), kSuccess);
}

// A guarded export that fails after taking the lock leaves it: another thread
// can take it afterwards.
TEST(Concurrency, FailedGuardedCallsReleaseTheLock) {
    MessageTableHandle table = 0;
    ASSERT_EQ(createMessageTable(&table), kSuccess);
    ASSERT_EQ(addChannel(table, {.name = "a"}), kSuccess);
    EXPECT_EQ(addChannel(table, {.name = "a"}), kErrDuplicateChannelName);
    uint32_t count = 0;
    char** names = nullptr;
    EXPECT_EQ(xcvtGetChannelNames(table, 0x999, &count, &names), kErrUnknownMessage);
    EXPECT_EQ(getNumberOfMessageIDs(table, &count), kSuccess);
    EXPECT_EQ(addChannel(table, {.name = "b"}), kErrTableInUse);
    int32_t fromOtherThread = 0;
    std::thread other([&] { fromOtherThread = closeMessageTable(table); });
    other.join();
    EXPECT_EQ(fromOtherThread, kSuccess);
}

// A thread that used a table before another thread closed it is refused on
// its next call: what it remembers of earlier validations does not outlive
// the table.
TEST(Concurrency, ClosedOnAnotherThreadIsInvalidEverywhere) {
    MessageTableHandle table = 0;
    ASSERT_EQ(createMessageTable(&table), kSuccess);
    ASSERT_EQ(addChannel(table, {.name = "a"}), kSuccess);
    const uint8_t payload[8] = {42};
    double value = 0;
    ASSERT_EQ(convertFrameToChannel(table, 0x100, payload, &value), kSuccess);
    std::thread closer([&] { EXPECT_EQ(closeMessageTable(table), kSuccess); });
    closer.join();
    EXPECT_EQ(convertFrameToChannel(table, 0x100, payload, &value), kErrInvalidTable);
    // A new table, possibly at the same address, is valid again under its handle.
    MessageTableHandle fresh = 0;
    ASSERT_EQ(createMessageTable(&fresh), kSuccess);
    uint32_t count = 1;
    EXPECT_EQ(getNumberOfMessageIDs(fresh, &count), kSuccess);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(closeMessageTable(fresh), kSuccess);
}

}  // namespace
}  // namespace canxlate::test
