// The canxlate program's decoding loop on a generated candump -L log of one
// million frames: reading in blocks, parsing, decoding through the library
// and formatting, with the output thrown away in /dev/null. The CSV case is
// the program's throughput target (frames per second in items_per_second).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "block_line_reader.h"
#include "decode_stream.h"
#include "log_decoder.h"
#include "log_line_parser.h"
#include "message_catalog.h"
#include "output_buffer.h"

namespace {

using namespace canxlate::cli;

constexpr int kFrameCount = 1'000'000;

// The four messages of the example database, in turn, with random payloads
// of their sizes and microsecond timestamps as candump -L writes them.
class GeneratedLog {
public:
    GeneratedLog() {
        char name[] = "/tmp/canxlate_bench_XXXXXX";
        const int fd = ::mkstemp(name);
        if (fd < 0) std::abort();
        path_ = name;
        std::FILE* file = ::fdopen(fd, "w");
        struct Message {
            const char* id;
            int length;
        };
        constexpr std::array<Message, 4> messages = {{{"100", 8}, {"200", 4}, {"300", 8}, {"18FEF100", 8}}};
        std::mt19937 random(1);
        for (int i = 0; i < kFrameCount; ++i) {
            const Message& message = messages[static_cast<std::size_t>(i) % messages.size()];
            std::fprintf(file, "(%d.%06d) can0 %s#", 1700000000 + i / 10000, (i % 10000) * 100, message.id);
            for (int b = 0; b < message.length; ++b) std::fprintf(file, "%02X", static_cast<unsigned>(random() & 0xFF));
            std::fputc('\n', file);
        }
        std::fclose(file);
    }
    ~GeneratedLog() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

const GeneratedLog& generatedLog() {
    static const GeneratedLog log;
    return log;
}

const MessageCatalog& exampleCatalog() {
    static MessageCatalog catalog;
    static const bool loaded = catalog.load(CANXLATE_EXAMPLES_DIR "/powertrain.dbc", {}).status == kSuccess;
    if (!loaded) std::abort();
    return catalog;
}

void decodeGeneratedLog(benchmark::State& state, OutputFormat format) {
    const std::string& path = generatedLog().path();
    const MessageCatalog& catalog = exampleCatalog();
    std::FILE* sink = std::fopen("/dev/null", "w");
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        OutputBuffer out(sink);
        LogDecoder decoder(catalog, format, out);
        decoder.writeHeader();
        BlockLineReader reader(fd);
        decodeStream(
            reader, decoder, [](uint64_t, std::string_view) {}, nullptr);
        out.flush();
        ::close(fd);
        if (decoder.counts().decoded != kFrameCount) state.SkipWithError("not every frame was decoded");
    }
    std::fclose(sink);
    state.SetItemsProcessed(state.iterations() * kFrameCount);
}

void BM_DecodeLogToCsv(benchmark::State& state) { decodeGeneratedLog(state, OutputFormat::kCsv); }
void BM_DecodeLogReadable(benchmark::State& state) { decodeGeneratedLog(state, OutputFormat::kReadable); }

// Parsing alone, from memory, for comparison with the whole loop.
void BM_ParseLogLines(benchmark::State& state) {
    const std::string line = "(1700000000.123456) can0 18FEF100#0564FF85AF000000";
    for (auto _ : state) {
        const ParsedLine parsed = parseLogLine(line);
        benchmark::DoNotOptimize(parsed.frame.payload);
    }
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_DecodeLogToCsv)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeLogReadable)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ParseLogLines);

BENCHMARK_MAIN();
