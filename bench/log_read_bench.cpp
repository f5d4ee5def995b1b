// Reading logs of a million frames from memory: candump text and BLF with
// zlib-compressed containers holding the same frames. Frames per second are
// the items per second.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "canxlate/logs/byte_sink.h"
#include "canxlate/logs/byte_source.h"
#include "canxlate/logs/frame_reader.h"
#include "canxlate/logs/frame_writer.h"

namespace canxlate::logs {
namespace {

constexpr int kFrames = 1000000;

// A day-like mix: 8-byte frames on two channels, standard and extended IDs.
std::vector<FrameRecord> makeFrames() {
    std::vector<FrameRecord> frames(kFrames);
    uint32_t random = 12345;
    for (int i = 0; i < kFrames; ++i) {
        FrameRecord& frame = frames[static_cast<std::size_t>(i)];
        frame.timestampNs = 1700000000000000000 + int64_t{i} * 250000;
        frame.channel = static_cast<uint16_t>(i % 2);
        frame.id = i % 4 == 3 ? 0x18FEF100u + static_cast<uint32_t>(i % 7) : 0x100u + static_cast<uint32_t>(i % 16);
        if (i % 4 == 3) frame.flags = kExtendedId;
        frame.direction = Direction::kReceived;
        frame.length = frame.dlc = 8;
        for (uint8_t& byte : frame.data) {
            random = random * 1103515245 + 12345;
            byte = static_cast<uint8_t>(random >> 16);
        }
        std::memset(frame.data + 8, 0, sizeof frame.data - 8);
    }
    return frames;
}

const std::vector<uint8_t>& logBytes(LogFormat format) {
    static std::vector<uint8_t> logs[3];
    std::vector<uint8_t>& bytes = logs[static_cast<int>(format)];
    if (bytes.empty()) {
        const std::vector<FrameRecord> frames = makeFrames();
        MemorySink sink;
        auto writer = openFrameWriter(format, sink);
        writer->write(frames.data(), frames.size());
        writer->finish();
        bytes = sink.bytes();
    }
    return bytes;
}

void readLog(benchmark::State& state, LogFormat format) {
    const std::vector<uint8_t>& bytes = logBytes(format);
    std::vector<FrameRecord> batch(1024);
    for (auto _ : state) {
        MemorySource source(bytes.data(), bytes.size());
        auto reader = openFrameReader(source);
        std::size_t frames = 0;
        while (const std::size_t count = reader->read(batch.data(), batch.size())) frames += count;
        if (frames != kFrames) state.SkipWithError("frames lost");
        benchmark::DoNotOptimize(batch.data());
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
    state.counters["log_bytes"] = static_cast<double>(bytes.size());
}

void BM_ReadCandumpLog(benchmark::State& state) { readLog(state, LogFormat::kCandump); }
void BM_ReadBlfLog(benchmark::State& state) { readLog(state, LogFormat::kBlf); }
void BM_ReadAscLog(benchmark::State& state) { readLog(state, LogFormat::kAsc); }

BENCHMARK(BM_ReadCandumpLog)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadBlfLog)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAscLog)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace canxlate::logs

BENCHMARK_MAIN();
