// Import throughput, adding into the table included: a generated DBC database
// of 2,000 messages with 16 signals each (and value type lines), and a ".zcd"
// file of the same content.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "canxlatelib.h"

namespace {

constexpr int kMessages = 2000;
constexpr int kSignals = 16;

std::string signalName(int message, int signal) {
    return "Signal_" + std::to_string(message) + "_" + std::to_string(signal);
}

std::string makeDbc() {
    std::string text = "VERSION \"\"\n\nNS_ :\n\nBS_:\n\nBU_: ECU Dashboard\n\n";
    for (int m = 0; m < kMessages; ++m) {
        text += "BO_ " + std::to_string(0x100 + m) + " Message_" + std::to_string(m) + ": 8 ECU\n";
        for (int s = 0; s < kSignals; ++s) {
            const bool motorola = s % 3 == 0;
            const int start = motorola ? 7 + 8 * (s / 4) : 4 * s;
            text += " SG_ " + signalName(m, s) + " : " + std::to_string(start) + "|4@" + (motorola ? "0" : "1") +
                    (s % 2 ? "-" : "+") + " (0.125,-12.5) [-12.5|1000.25] \"unit\" Dashboard\n";
        }
        text += "\n";
    }
    text += "CM_ \"generated for benchmarking\";\n";
    for (int m = 0; m < kMessages; m += 50)
        text += "SIG_VALTYPE_ " + std::to_string(0x100 + m) + " " + signalName(m, 1) + " : 1;\n";
    return text;
}

std::string makeZcd() {
    std::string text = "<?xml version=\"1.0\"?>\n<zecan_config>\n";
    for (int m = 0; m < kMessages; ++m) {
        text += "<message>\n<name>Message_" + std::to_string(m) + "</name>\n<id>" + std::to_string(0x100 + m) +
                "</id>\n<bytes>8</bytes>\n";
        for (int s = 0; s < kSignals; ++s) {
            text += "<channel name=\"" + signalName(m, s) + "\">\n<bitfield start=\"" + std::to_string(4 * s) +
                    "\" bits=\"4\" order=\"" + (s % 3 == 0 ? "1" : "0") + "\" type=\"" + (s % 2 ? "0" : "1") +
                    "\"/>\n<linear_scaling factor=\"0.125\" offset=\"-12.5\" min=\"-12.5\" max=\"1000.25\" "
                    "unit=\"unit\"/>\n</channel>\n";
        }
        text += "</message>\n";
    }
    return text + "</zecan_config>\n";
}

std::string writeOnce(const char* name, const std::string& content) {
    const auto path = std::filesystem::temp_directory_path() / name;
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
}

void importFile(benchmark::State& state, const std::string& path) {
    const auto bytes = static_cast<int64_t>(std::filesystem::file_size(path));
    for (auto _ : state) {
        MessageTableHandle table = 0;
        createMessageTable(&table);
        if (addChannelDefinitionFromFile(path.c_str(), table) != kSuccess) state.SkipWithError("import failed");
        state.PauseTiming();
        uint32_t largest = 0;
        getLargestNumberOfChannels(table, &largest);
        if (largest != kSignals) state.SkipWithError("channels missing");
        closeMessageTable(table);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_ImportDbc(benchmark::State& state) {
    static const std::string path = writeOnce("canxlate_bench.dbc", makeDbc());
    importFile(state, path);
}
BENCHMARK(BM_ImportDbc)->Unit(benchmark::kMillisecond);

void BM_ImportZcd(benchmark::State& state) {
    static const std::string path = writeOnce("canxlate_bench.zcd", makeZcd());
    importFile(state, path);
}
BENCHMARK(BM_ImportZcd)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
