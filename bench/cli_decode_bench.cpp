// The canxlate program's decoding on generated logs of one million frames:
// a candump -L log and the same frames in a BLF log (zlib containers), each
// decoded to CSV with the output thrown away in /dev/null. Every iteration is
// the whole job: opening the database, reading, decoding, formatting. The
// program's targets are 5 million frames per second from candump and 3
// million from BLF (items_per_second).
#include <benchmark/benchmark.h>
#include <canxlate.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "frame_decoder.h"
#include "output_buffer.h"

namespace {

using namespace canxlate::cli;

constexpr int kFrameCount = 1'000'000;

// The four messages of the example database, in turn, with random payloads
// of their sizes and microsecond timestamps.
class GeneratedLogs {
public:
    GeneratedLogs() {
        char name[] = "/tmp/canxlate_bench_XXXXXX";
        if (::mkdtemp(name) == nullptr) std::abort();
        directory_ = name;
        struct Message {
            uint32_t id;
            bool extended;
            uint8_t length;
        };
        constexpr std::array<Message, 4> messages = {
            {{0x100, false, 8}, {0x200, false, 4}, {0x300, false, 8}, {0x18FEF100, true, 8}}};
        cxl_log_writer* candump = nullptr;
        cxl_log_writer* blf = nullptr;
        if (cxl_log_create_file(candumpPath().c_str(), CXL_LOG_CANDUMP, &candump) != CXL_OK ||
            cxl_log_create_file(blfPath().c_str(), CXL_LOG_BLF, &blf) != CXL_OK)
            std::abort();
        constexpr std::size_t kBatch = 1000;
        std::vector<int64_t> timeNs(kBatch);
        std::vector<double> timestamps(kBatch);
        std::vector<uint32_t> ids(kBatch);
        std::vector<uint8_t> extended(kBatch);
        std::vector<uint8_t> lengths(kBatch);
        std::vector<uint8_t> payloads(kBatch * CXL_LOG_PAYLOAD_STRIDE);
        std::mt19937 random(1);
        for (int start = 0; start < kFrameCount; start += static_cast<int>(kBatch)) {
            for (std::size_t f = 0; f < kBatch; ++f) {
                const auto i = static_cast<std::size_t>(start) + f;
                const Message& message = messages[i % messages.size()];
                timeNs[f] = 1'700'000'000'000'000'000 + static_cast<int64_t>(i) * 100'000;
                timestamps[f] = static_cast<double>(timeNs[f]) / 1e9;
                ids[f] = message.id;
                extended[f] = message.extended ? 1 : 0;
                lengths[f] = message.length;
                for (std::size_t b = 0; b < message.length; ++b)
                    payloads[f * CXL_LOG_PAYLOAD_STRIDE + b] = static_cast<uint8_t>(random());
            }
            const cxl_frames frames{kBatch,     kBatch,          timeNs.data(),  timestamps.data(),
                                    ids.data(), extended.data(), lengths.data(), payloads.data(),
                                    nullptr,    nullptr,         nullptr};
            if (cxl_log_write(candump, &frames) != CXL_OK || cxl_log_write(blf, &frames) != CXL_OK) std::abort();
        }
        if (cxl_log_finish(candump) != CXL_OK || cxl_log_finish(blf) != CXL_OK) std::abort();
    }
    ~GeneratedLogs() {
        std::remove(candumpPath().c_str());
        std::remove(blfPath().c_str());
        std::remove(directory_.c_str());
    }
    std::string candumpPath() const { return directory_ + "/frames.log"; }
    std::string blfPath() const { return directory_ + "/frames.blf"; }

private:
    std::string directory_;
};

const GeneratedLogs& generatedLogs() {
    static const GeneratedLogs logs;
    return logs;
}

void decodeToCsv(benchmark::State& state, const std::string& path, DecodeOutput output) {
    std::FILE* sink = std::fopen("/dev/null", "w");
    for (auto _ : state) {
        cxl_database* database = nullptr;
        if (cxl_open_file(CANXLATE_EXAMPLES_DIR "/powertrain.dbc", &database) != CXL_OK) std::abort();
        OutputBuffer out(sink);
        DecodeSettings settings;
        settings.output = output;
        FrameDecoder decoder(database, settings, out);
        std::string error;
        if (!decoder.prepare(error)) std::abort();
        decoder.writeHeader();
        cxl_log_reader* reader = nullptr;
        if (cxl_log_open_file(path.c_str(), CXL_LOG_AUTO, 0, nullptr, nullptr, &reader) != CXL_OK) std::abort();
        decoder.decodeLog(reader, nullptr);
        cxl_log_close(reader);
        out.flush();
        cxl_close(database);
        if (decoder.counts().decoded != kFrameCount) state.SkipWithError("not every frame was decoded");
    }
    std::fclose(sink);
    state.SetItemsProcessed(state.iterations() * kFrameCount);
}

void BM_DecodeCandumpToCsv(benchmark::State& state) {
    decodeToCsv(state, generatedLogs().candumpPath(), DecodeOutput::kCsv);
}
void BM_DecodeBlfToCsv(benchmark::State& state) { decodeToCsv(state, generatedLogs().blfPath(), DecodeOutput::kCsv); }
void BM_DecodeCandumpToText(benchmark::State& state) {
    decodeToCsv(state, generatedLogs().candumpPath(), DecodeOutput::kText);
}

}  // namespace

BENCHMARK(BM_DecodeCandumpToCsv)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeBlfToCsv)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeCandumpToText)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
