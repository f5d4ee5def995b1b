// The hash map's growth and order rules, which hosts see as the order of
// message IDs.
#include "canxlatelib/frame/hash_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <random>
#include <utility>
#include <vector>

namespace canxlate {
namespace {

TEST(HashMap, NextBucketCountFollowsThePrimeList) {
    const std::pair<uint64_t, uint32_t> cases[] = {
        {0, 53}, {53, 53}, {54, 97}, {100, 193}, {194, 389}, {4294967291, 4294967291u}, {5000000000, 4294967291u}};
    for (const auto& [wanted, expected] : cases) EXPECT_EQ(nextBucketCount(wanted), expected) << wanted;
}

// A plain model of the rules: the bucket is the key modulo the bucket count;
// a new key goes to the head of its chain; an insertion that would make the
// count exceed the buckets first grows them, moving each old chain head first
// onto the heads of the new chains (which reverses keys that stay together).
// Random keys across the whole 32-bit range, many sharing bucket 0 at every
// size or repeated, inserted and removed through several growth steps.
TEST(HashMap, MatchesAReferenceModel) {
    std::mt19937 rng(99);
    for (int round = 0; round < 20; ++round) {
        const uint32_t wantedBuckets = rng() % 400;
        HashMap<uint32_t, int> map(wantedBuckets);
        std::vector<std::deque<uint32_t>> chains(nextBucketCount(wantedBuckets));
        std::map<uint32_t, int> values;
        const int count = 1 + static_cast<int>(rng() % 3000);
        for (int i = 0; i < count; ++i) {
            uint32_t key = rng();
            if (i % 7 == 0) key = 53u * 97u * 193u * (rng() % 4000);
            if (i % 11 == 0) key = 0xFFFFFFFFu - rng() % 4;
            if (i % 13 == 0 && !values.empty() && rng() % 2 == 0)
                key = std::next(values.begin(), rng() % values.size())->first;
            if (i % 13 == 0) {
                std::deque<uint32_t>& chain = chains[key % chains.size()];
                const auto found = std::find(chain.begin(), chain.end(), key);
                ASSERT_EQ(map.remove(key), found == chain.end() ? 0u : 1u);
                if (found != chain.end()) chain.erase(found), values.erase(key);
            } else {
                if (values.size() + 1 > chains.size()) {
                    std::vector<std::deque<uint32_t>> grown(nextBucketCount(values.size() + 1));
                    for (const auto& chain : chains)
                        for (const uint32_t moved : chain) grown[moved % grown.size()].push_front(moved);
                    chains = std::move(grown);
                }
                const auto [value, inserted] = map.insert(key, int{i});
                const bool isNew = values.emplace(key, i).second;
                if (isNew) chains[key % chains.size()].push_front(key);
                ASSERT_EQ(inserted, isNew);
                ASSERT_EQ(*value, values[key]);
            }
            ASSERT_EQ(map.bucketCount(), chains.size());
            ASSERT_EQ(map.size(), values.size());
        }
        std::vector<uint32_t> expected, actual;
        for (const auto& chain : chains) expected.insert(expected.end(), chain.begin(), chain.end());
        map.forEach([&](uint32_t key, int value) {
            actual.push_back(key);
            EXPECT_EQ(value, values[key]);
        });
        ASSERT_EQ(actual, expected);
        actual.clear();
        std::as_const(map).forEach([&](uint32_t key, int) { actual.push_back(key); });
        ASSERT_EQ(actual, expected);
        for (const auto& [key, value] : values) ASSERT_TRUE(map.find(key) != nullptr && *map.find(key) == value);
        map.clear();
        EXPECT_EQ(map.size(), 0u);
        EXPECT_EQ(map.bucketCount(), chains.size());
        map.forEach([](uint32_t key, int) { ADD_FAILURE() << key << " left after clear"; });
    }
}

// Pointer-sized keys use their full width: keys equal in their low 32 bits
// stay distinct.
TEST(HashMap, WideKeysAreNotTruncated) {
    HashMap<uint64_t, int> map(193);
    const uint64_t low = 0x12345670, high = (uint64_t{1} << 32) | low;
    map.insert(low, 1);
    EXPECT_EQ(map.find(high), nullptr);
    map.insert(high, 2);
    map.remove(low);
    EXPECT_EQ(map.find(low), nullptr);
    ASSERT_NE(map.find(high), nullptr);
    EXPECT_EQ(*map.find(high), 2);
}

}  // namespace
}  // namespace canxlate
