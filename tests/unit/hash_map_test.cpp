// The hash map's growth and order rules, which hosts see as the order of
// message IDs, and its behaviour with pointer-sized keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <random>
#include <vector>

#include "frame/hash_map.h"

namespace canxlate {
namespace {

template <typename Key>
std::vector<Key> keysInOrder(const HashMap<Key, int>& map) {
    std::vector<Key> keys;
    map.forEach([&keys](Key key, int) { keys.push_back(key); });
    return keys;
}

TEST(HashMap, NextBucketCountFollowsThePrimeList) {
    EXPECT_EQ(nextBucketCount(0), 53u);
    EXPECT_EQ(nextBucketCount(53), 53u);
    EXPECT_EQ(nextBucketCount(54), 97u);
    EXPECT_EQ(nextBucketCount(100), 193u);
    EXPECT_EQ(nextBucketCount(194), 389u);
    EXPECT_EQ(nextBucketCount(4294967291ull), 4294967291u);
    EXPECT_EQ(nextBucketCount(5000000000ull), 4294967291u);
}

TEST(HashMap, GrowsWhenCountWouldExceedBuckets) {
    HashMap<uint32_t, int> map(100);
    EXPECT_EQ(map.bucketCount(), 193u);
    for (uint32_t key = 0; key < 193; ++key) map.insert(key, 0);
    EXPECT_EQ(map.bucketCount(), 193u);
    map.insert(1000, 0);
    EXPECT_EQ(map.bucketCount(), 389u);
    for (uint32_t key = 2000; map.size() < 389; ++key) map.insert(key, 0);
    EXPECT_EQ(map.bucketCount(), 389u);
    map.insert(99999, 0);
    EXPECT_EQ(map.bucketCount(), 769u);
}

TEST(HashMap, InsertKeepsExistingEntry) {
    HashMap<uint32_t, int> map(53);
    EXPECT_TRUE(map.insert(5, 1).second);
    auto [value, inserted] = map.insert(5, 2);
    EXPECT_FALSE(inserted);
    EXPECT_EQ(*value, 1);
    EXPECT_EQ(map.size(), 1u);
}

// Chains take new keys at the head; growth moves each old chain head first,
// which reverses nodes that land in the same new chain.
TEST(HashMap, IterationOrderThroughGrowth) {
    HashMap<uint32_t, int> map(53);
    // 53 * 97 lands in bucket 0 both before and after growing to 97 buckets.
    const uint32_t both = 53 * 97;
    map.insert(0, 0);
    map.insert(both, 0);
    map.insert(both * 2, 0);
    EXPECT_EQ(keysInOrder(map), (std::vector<uint32_t>{both * 2, both, 0}));
    for (uint32_t key = 1; key <= 51; ++key) map.insert(key, 0);
    EXPECT_EQ(map.bucketCount(), 97u);
    std::vector<uint32_t> expected = {0, both, both * 2};
    for (uint32_t key = 1; key <= 51; ++key) expected.push_back(key);
    EXPECT_EQ(keysInOrder(map), expected);
}

TEST(HashMap, RemoveAndClear) {
    HashMap<uint32_t, int> map(53);
    for (uint32_t key : {1u, 54u, 107u, 2u}) map.insert(key, static_cast<int>(key));
    EXPECT_EQ(map.remove(54), 1u);
    EXPECT_EQ(map.remove(54), 0u);
    EXPECT_EQ(map.find(54), nullptr);
    ASSERT_NE(map.find(107), nullptr);
    EXPECT_EQ(*map.find(107), 107);
    EXPECT_EQ(keysInOrder(map), (std::vector<uint32_t>{107, 1, 2}));
    map.clear();
    EXPECT_EQ(map.size(), 0u);
    EXPECT_EQ(map.bucketCount(), 53u);
    EXPECT_TRUE(keysInOrder(map).empty());
}

// Pointer-sized keys use their full width: two keys that agree in their low
// 32 bits stay distinct.
TEST(HashMap, WideKeysAreNotTruncated) {
    if constexpr (sizeof(uintptr_t) < 8) GTEST_SKIP() << "32-bit keys only on this platform";
    HashMap<uint64_t, int> map(193);
    const uint64_t low = 0x12345670;
    const uint64_t high = (uint64_t{1} << 32) | low;
    map.insert(low, 1);
    EXPECT_EQ(map.find(high), nullptr);
    map.insert(high, 2);
    EXPECT_EQ(*map.find(low), 1);
    EXPECT_EQ(*map.find(high), 2);
    map.remove(low);
    EXPECT_EQ(*map.find(high), 2);
}

// A plain model of the rules (chains as deques, head at the front, the
// remainder by division) against the map, for random keys across the whole
// 32-bit range and through several growth steps.
TEST(HashMap, IterationOrderMatchesAReferenceModel) {
    std::mt19937 rng(99);
    for (int round = 0; round < 20; ++round) {
        HashMap<uint32_t, int> map(53);
        std::vector<std::deque<uint32_t>> model(53);
        uint32_t modelSize = 0;
        const int count = 1 + static_cast<int>(rng() % 3000);
        for (int i = 0; i < count; ++i) {
            uint32_t key = rng();
            if (i % 7 == 0) key = static_cast<uint32_t>(model.size()) * (rng() % 1000);  // bucket 0 collisions
            if (i % 11 == 0) key = 0xFFFFFFFFu - (rng() % 4);
            map.insert(key, 0);
            if (std::any_of(model.begin(), model.end(),
                            [key](const auto& chain) { return std::find(chain.begin(), chain.end(), key) != chain.end(); }))
                continue;
            if (modelSize + 1 > model.size() && nextBucketCount(modelSize + 1) > model.size()) {
                std::vector<std::deque<uint32_t>> grown(nextBucketCount(modelSize + 1));
                for (auto& chain : model)
                    for (uint32_t moved : chain) grown[moved % grown.size()].push_front(moved);
                model = std::move(grown);
            }
            model[key % model.size()].push_front(key);
            ++modelSize;
        }
        std::vector<uint32_t> expected;
        for (const auto& chain : model) expected.insert(expected.end(), chain.begin(), chain.end());
        ASSERT_EQ(map.bucketCount(), model.size());
        ASSERT_EQ(keysInOrder(map), expected);
        for (uint32_t key : expected) ASSERT_NE(map.find(key), nullptr);
    }
}

}  // namespace
}  // namespace canxlate
