// Decoding and encoding throughput through the public interface: one typical
// 8-channel message, a table of 2,000 messages looked up at random, and
// several threads decoding from one table at once.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "canxlatelib.h"
#include "typical_message.h"

namespace {

constexpr uint32_t kMessageCount = 2000;

struct Fixture {
    Fixture() {
        createMessageTable(&table);
        for (uint32_t i = 0; i < kMessageCount; ++i) addTypicalMessage(table, 0x100 + i * 7);
        std::mt19937 rng(1);
        for (int i = 0; i < 4096; ++i) ids.push_back(0x100 + (rng() % kMessageCount) * 7);
        uint32_t count = 0;
        getNumberOfMessageIDs(table, &count);  // freeze once, outside the timing
    }
    ~Fixture() { closeMessageTable(table); }
    MessageTableHandle table = 0;
    std::vector<uint32_t> ids;
};

Fixture& fixture() {
    static Fixture instance;
    return instance;
}

void BM_DecodeOneMessage(benchmark::State& state) {
    auto& f = fixture();
    uint8_t payload[8] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
    double values[8];
    for (auto _ : state) {
        convertFrameToChannel(f.table, 0x100, payload, values);
        benchmark::DoNotOptimize(values);
        payload[0]++;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeOneMessage)->ThreadRange(1, 2)->UseRealTime();

void BM_DecodeRandomMessages(benchmark::State& state) {
    auto& f = fixture();
    uint8_t payload[8] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
    double values[8];
    size_t i = 0;
    for (auto _ : state) {
        convertFrameToChannel(f.table, f.ids[i++ & 4095], payload, values);
        benchmark::DoNotOptimize(values);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeRandomMessages);

void BM_DecodeWords(benchmark::State& state) {
    auto& f = fixture();
    uint32_t words[2] = {0x12345678, 0x9ABCDEF0};
    double values[8];
    for (auto _ : state) {
        convertFrameToChannelU32(f.table, 0x100, words, values);
        benchmark::DoNotOptimize(values);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeWords);

void BM_EncodeOneMessage(benchmark::State& state) {
    auto& f = fixture();
    double values[8] = {1000.25, 20, 3, 4, -12.5, 50, 1, 3.25};
    uint8_t payload[8];
    for (auto _ : state) {
        convertChannelToFrame(f.table, 0x100, values, payload);
        benchmark::DoNotOptimize(payload);
        values[0] += 0.25;
        if (values[0] > 16000) values[0] = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EncodeOneMessage)->ThreadRange(1, 2)->UseRealTime();

// The cost of an export call that does no conversion: validation, the in-use
// test and a failed lookup.
void BM_UnknownMessage(benchmark::State& state) {
    auto& f = fixture();
    uint8_t payload[8] = {};
    double values[8];
    for (auto _ : state) benchmark::DoNotOptimize(convertFrameToChannel(f.table, 0xFFFFFF, payload, values));
}
BENCHMARK(BM_UnknownMessage)->ThreadRange(1, 2)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
