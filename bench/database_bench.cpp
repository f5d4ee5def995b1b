// libcanxlate beside canxlatelib in one run: the typical 8-signal message
// decoded by each, batch decoding against one call per frame, and opening,
// writing and rebuilding a large generated DBC file.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "canxlate.h"
#include "canxlatelib.h"
#include "typical_message.h"

#ifdef CANXLATE_WITH_DBCPPP
#  include <dbcppp/Network.h>

#  include <memory>
#  include <sstream>
#endif

namespace {

constexpr uint32_t kMessageCount = 2000;
constexpr size_t kFrames = 4096;

// About 2,000 messages of 16 signals with comments, attributes, value tables
// and value type lines, the sections in the order of the format's grammar
// (which dbcppp requires).
std::string generatedDbc(uint32_t messages) {
    std::string text = "VERSION \"bench\"\n\nNS_ :\n\tCM_\n\tBA_DEF_\n\nBS_:\n\nBU_: N Gateway\n\n";
    text += "VAL_TABLE_ States 0 \"Off\" 1 \"On\" 2 \"Error\" 3 \"Unknown\" ;\n\n";
    std::string comments;
    std::string attributes = "BA_DEF_ BO_ \"GenMsgCycleTime\" INT 0 10000;\nBA_DEF_DEF_ \"GenMsgCycleTime\" 100;\n";
    std::string values;
    std::string valueTypes;
    for (uint32_t m = 0; m < messages; ++m) {
        const std::string id = std::to_string(0x80000000u + m * 3);
        text += "BO_ " + id + " Message" + std::to_string(m) + ": 8 N\n";
        for (uint32_t s = 0; s < 16; ++s) {
            const std::string name = "Signal" + std::to_string(m) + "_" + std::to_string(s);
            text += " SG_ " + name + " : " + std::to_string(s * 4) + "|4@1+ (0.5,-1) [-1|6.5] \"unit\" Gateway\n";
            if (s % 4 == 0) comments += "CM_ SG_ " + id + " " + name + " \"Signal comment for " + name + "\";\n";
            if (s % 8 == 1) values += "VAL_ " + id + " " + name + " 0 \"Off\" 1 \"On\" 2 \"Error\" 3 \"Unknown\" ;\n";
        }
        text += "\n";
        comments += "CM_ BO_ " + id + " \"Message comment\";\n";
        attributes += "BA_ \"GenMsgCycleTime\" BO_ " + id + " " + std::to_string(10 + m % 90) + ";\n";
        if (m % 16 == 0) {
            text += "BO_ " + std::to_string(0x80100000u + m) + " Float" + std::to_string(m) + ": 8 N\n";
            text += " SG_ Value : 0|32@1- (1,0) [0|0] \"\" N\n\n";
            valueTypes += "SIG_VALTYPE_ " + std::to_string(0x80100000u + m) + " Value : 1;\n";
        }
    }
    return text + comments + attributes + values + valueTypes;
}

struct Fixture {
    Fixture() {
        createMessageTable(&table);
        std::string dbc = generatedDbcHeader();
        for (uint32_t i = 0; i < kMessageCount; ++i) {
            addTypicalMessage(table, i);
            dbc += "BO_ " + std::to_string(i) + " M" + std::to_string(i) + ": 8 N\n" + typicalSignals();
        }
        for (uint32_t i = 0; i < kMessageCount; ++i) dbc += "SIG_VALTYPE_ " + std::to_string(i) + " channel7 : 1;\n";
        uint32_t count = 0;
        getNumberOfMessageIDs(table, &count);
        cxl_open_memory(dbc.data(), dbc.size(), CXL_FORMAT_DBC, &database);
        std::mt19937 rng(1);
        payloads.resize(kFrames * 8);
        for (size_t f = 0; f < kFrames; ++f) {
            ids.push_back(rng() % kMessageCount);
            for (size_t b = 0; b < 8; ++b) payloads[f * 8 + b] = static_cast<uint8_t>(rng());
        }
    }
    static std::string generatedDbcHeader() { return "VERSION \"\"\nBU_: N\n"; }
    ~Fixture() {
        closeMessageTable(table);
        cxl_close(database);
    }
    MessageTableHandle table = 0;
    cxl_database* database = nullptr;
    std::vector<uint32_t> ids;
    std::vector<uint8_t> payloads;
};

Fixture& fixture() {
    static Fixture instance;
    return instance;
}

void BM_TypicalMessage_canxlatelib(benchmark::State& state) {
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
BENCHMARK(BM_TypicalMessage_canxlatelib);

void BM_TypicalMessage_libcanxlate(benchmark::State& state) {
    auto& f = fixture();
    const cxl_message* message = cxl_find_message(f.database, 0x100, 0);
    uint8_t payload[8] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
    cxl_value values[8];
    for (auto _ : state) {
        cxl_decode(message, payload, 8, CXL_CLAMP, values);
        benchmark::DoNotOptimize(values);
        payload[0]++;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TypicalMessage_libcanxlate);

void BM_FramePerCall_canxlatelib(benchmark::State& state) {
    auto& f = fixture();
    std::vector<double> values(8 * kFrames);
    for (auto _ : state) {
        for (size_t i = 0; i < kFrames; ++i)
            convertFrameToChannel(f.table, f.ids[i], &f.payloads[i * 8], &values[i * 8]);
        benchmark::DoNotOptimize(values.data());
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_FramePerCall_canxlatelib);

void BM_Batch_libcanxlate(benchmark::State& state) {
    auto& f = fixture();
    std::vector<double> physical(8 * kFrames);
    std::vector<uint8_t> present(8 * kFrames);
    std::vector<int32_t> index(kFrames);
    cxl_batch batch{};
    batch.frame_count = kFrames;
    batch.ids = f.ids.data();
    batch.payloads = f.payloads.data();
    batch.payload_stride = 8;
    batch.column_stride = kFrames;
    batch.physical = physical.data();
    batch.present = present.data();
    batch.message_index = index.data();
    for (auto _ : state) {
        cxl_decode_batch(f.database, &batch, CXL_CLAMP);
        benchmark::DoNotOptimize(physical.data());
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_Batch_libcanxlate);

void BM_OpenGeneratedDbc(benchmark::State& state) {
    const std::string text = generatedDbc(kMessageCount);
    for (auto _ : state) {
        cxl_database* database = nullptr;
        cxl_open_memory(text.data(), text.size(), CXL_FORMAT_DBC, &database);
        if (cxl_diagnostic_count(database) != 0) state.SkipWithError("the generated file has diagnostics");
        cxl_close(database);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_OpenGeneratedDbc)->Unit(benchmark::kMillisecond);

#ifdef CANXLATE_WITH_DBCPPP
// dbcppp loading the same text, for the ratio of opening speeds.
void BM_OpenGeneratedDbc_dbcppp(benchmark::State& state) {
    const std::string text = generatedDbc(kMessageCount);
    for (auto _ : state) {
        std::istringstream stream(text);
        const std::unique_ptr<dbcppp::INetwork> network = dbcppp::INetwork::LoadDBCFromIs(stream);
        if (network == nullptr) state.SkipWithError("dbcppp cannot read the generated file");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_OpenGeneratedDbc_dbcppp)->Unit(benchmark::kMillisecond);
#endif

// Writing the generated database back as DBC text (target: well under a
// second for its 2,000 messages).
void BM_WriteGeneratedDbc(benchmark::State& state) {
    const std::string text = generatedDbc(kMessageCount);
    cxl_database* database = nullptr;
    cxl_open_memory(text.data(), text.size(), CXL_FORMAT_DBC, &database);
    size_t written = 0;
    for (auto _ : state) {
        char* output = nullptr;
        if (cxl_write_dbc_memory(database, &output, &written) != CXL_OK) state.SkipWithError("writing failed");
        cxl_free_text(output);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * written));
    cxl_close(database);
}
BENCHMARK(BM_WriteGeneratedDbc)->Unit(benchmark::kMillisecond);

// Copying the generated database into a builder and finishing it again.
void BM_BuilderCopyAndFinish(benchmark::State& state) {
    const std::string text = generatedDbc(kMessageCount);
    cxl_database* database = nullptr;
    cxl_open_memory(text.data(), text.size(), CXL_FORMAT_DBC, &database);
    for (auto _ : state) {
        cxl_builder* builder = nullptr;
        cxl_database* finished = nullptr;
        cxl_builder_copy(database, &builder);
        if (cxl_builder_finish(builder, &finished, nullptr) != CXL_OK) state.SkipWithError("finishing failed");
        cxl_close(finished);
        cxl_builder_free(builder);
    }
    cxl_close(database);
}
BENCHMARK(BM_BuilderCopyAndFinish)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
