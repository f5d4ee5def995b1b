// Decoding a bus log's mix: a million random 8-byte frames over every
// non-multiplexed message of real DBC files, the message drawn at random.
// Each way of decoding sums every value it decodes; before timing, every
// value of every frame is checked equal between all of them. Printed per
// file: nanoseconds a frame (best of several runs) and the ratio to a
// hand-written table decoder of the same signals, the floor.
//
// Built with -DCANXLATE_DBCPPP_DIR=<a dbcppp source tree built in its build/
// folder>, dbcppp's flat signal list runs beside them.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "canxlate.h"

#ifdef CANXLATE_WITH_DBCPPP
#  include <dbcppp/Network.h>

#  include <fstream>
#  include <memory>
#endif

namespace {

constexpr size_t kFrames = 1000000;
constexpr size_t kBatchFrames = 4096;  // cxl_decode_batch, as hosts call it
constexpr int kRuns = 7;

// One signal as a table decoder keeps it: the field as a shift of the 64-bit
// payload word read in the field's byte order.
struct TableSignal {
    double factor;
    double offset;
    uint8_t shift;
    uint8_t length;
    bool bigEndian;
    bool isSigned;
};

struct TableMessage {
    const cxl_message* handle;
    uint32_t id;
    bool extended;
    std::vector<TableSignal> signals;
};

uint64_t littleWord(const uint8_t* payload) {
    uint64_t word;
    std::memcpy(&word, payload, 8);
    return word;
}

// The floor: a flat list of shifts and masks, nothing else.
class TableDecoder {
public:
    explicit TableDecoder(const std::vector<TableMessage>& messages) : messages_(messages) {
        for (uint32_t m = 0; m < messages.size(); ++m)
            if (!messages[m].extended) standard_[messages[m].id] = static_cast<int32_t>(m);
    }
    template <typename Visit>
    void decode(uint32_t id, const uint8_t* payload, Visit visit) const {
        const int32_t m = id < 2048 ? standard_[id] : -1;
        if (m < 0) return;
        const uint64_t little = littleWord(payload);
        const uint64_t big = __builtin_bswap64(little);
        for (const TableSignal& s : messages_[static_cast<size_t>(m)].signals) {
            const uint64_t word = s.bigEndian ? big : little;
            const uint64_t top = word << (64 - s.shift - s.length);
            const int64_t raw = s.isSigned ? static_cast<int64_t>(top) >> (64 - s.length)
                                           : static_cast<int64_t>(top >> (64 - s.length));
            visit(static_cast<double>(raw) * s.factor + s.offset);
        }
    }

private:
    const std::vector<TableMessage>& messages_;
    std::vector<int32_t> standard_ = std::vector<int32_t>(2048, -1);
};

struct Workload {
    cxl_database* database = nullptr;
    std::vector<TableMessage> messages;
    std::vector<uint32_t> ids;
    std::vector<uint8_t> payloads;
    size_t largestSignalCount = 0;
    double signalsPerFrame = 0;
};

bool load(const std::string& path, Workload& w) {
    if (cxl_open_file(path.c_str(), &w.database) != CXL_OK) return false;
    cxl_database_info info{};
    cxl_get_database_info(w.database, &info);
    w.largestSignalCount = info.largest_signal_count;
    for (size_t m = 0; m < info.message_count; ++m) {
        const cxl_message* handle = cxl_message_at(w.database, m);
        cxl_message_info message{};
        cxl_get_message_info(handle, &message);
        // The table decoder reads 8-byte frames of plain integer signals.
        bool plain = !message.multiplexed && message.length <= 8 && !message.extended && message.signal_count > 0 &&
                     cxl_find_message(w.database, message.id, 0) == handle;
        TableMessage table{handle, message.id, false, {}};
        for (size_t s = 0; plain && s < message.signal_count; ++s) {
            cxl_signal_info signal{};
            cxl_get_signal_info(cxl_signal_at(handle, s), &signal);
            plain = signal.decodable && signal.value_type <= CXL_VALUE_UNSIGNED && signal.length < 64;
            const bool big = signal.byte_order == CXL_BYTE_ORDER_BIG_ENDIAN;
            const uint32_t byte = signal.lsb_bit / 8;
            const uint32_t shift = big ? 8 * (7 - byte) + signal.lsb_bit % 8 : signal.lsb_bit;
            table.signals.push_back({signal.factor, signal.offset, static_cast<uint8_t>(shift),
                                     static_cast<uint8_t>(signal.length), big, signal.value_type == CXL_VALUE_SIGNED});
        }
        if (plain) w.messages.push_back(std::move(table));
    }
    std::mt19937_64 random(18);
    w.ids.resize(kFrames);
    w.payloads.resize(kFrames * 8);
    size_t signals = 0;
    for (size_t f = 0; f < kFrames; ++f) {
        const TableMessage& message = w.messages[random() % w.messages.size()];
        w.ids[f] = message.id;
        signals += message.signals.size();
        const uint64_t word = random();
        std::memcpy(&w.payloads[f * 8], &word, 8);
    }
    w.signalsPerFrame = static_cast<double>(signals) / kFrames;
    return true;
}

cxl_batch batchAt(const Workload& w, size_t first, size_t count) {
    cxl_batch batch{};
    batch.frame_count = count;
    batch.ids = w.ids.data() + first;
    batch.payloads = w.payloads.data() + first * 8;
    batch.payload_stride = 8;
    return batch;
}

// A way of decoding the workload: visits every decoded value in frame order
// and signal order.
using Visitor = std::function<void(double)>;
struct Variant {
    const char* name;
    std::function<double(const Workload&)> sum;           // timed
    std::function<void(const Workload&, Visitor)> visit;  // checked
};

template <typename Visit>
void perFrame(const Workload& w, Visit visit) {
    static thread_local std::vector<cxl_value> values;
    values.resize(std::max<size_t>(w.largestSignalCount, 1));
    for (size_t f = 0; f < kFrames; ++f) {
        const cxl_message* message = cxl_find_message(w.database, w.ids[f], 0);
        if (message == nullptr) continue;
        cxl_message_info info;
        cxl_get_message_info(message, &info);
        cxl_decode(message, &w.payloads[f * 8], 8, 0, values.data());
        for (size_t s = 0; s < info.signal_count; ++s)
            if (values[s].present) visit(values[s].physical);
    }
}

template <typename Visit>
void columns(const Workload& w, Visit visit) {
    static thread_local std::vector<double> physical;
    static thread_local std::vector<uint8_t> present;
    std::vector<int32_t> index(kBatchFrames);
    std::vector<size_t> signalCount;
    for (size_t m = 0;; ++m) {
        cxl_message_info info;
        if (cxl_get_message_info(cxl_message_at(w.database, m), &info) != CXL_OK) break;
        signalCount.push_back(info.signal_count);
    }
    physical.resize(w.largestSignalCount * kBatchFrames);
    present.resize(w.largestSignalCount * kBatchFrames);
    for (size_t first = 0; first < kFrames; first += kBatchFrames) {
        const size_t count = std::min(kBatchFrames, kFrames - first);
        cxl_batch batch = batchAt(w, first, count);
        batch.column_stride = kBatchFrames;  // as the program and most hosts choose it
        batch.physical = physical.data();
        batch.present = present.data();
        batch.message_index = index.data();
        cxl_decode_batch(w.database, &batch, 0);
        for (size_t f = 0; f < count; ++f) {
            if (index[f] < 0) continue;
            for (size_t s = 0; s < signalCount[static_cast<size_t>(index[f])]; ++s)
                if (present[s * kBatchFrames + f]) visit(physical[s * kBatchFrames + f]);
        }
    }
}

// Frames a call: 4096 as with cxl_decode_batch, or fewer so that the output
// stays in the cache until it is read.
template <size_t Frames, typename Visit>
void packed(const Workload& w, Visit visit) {
    static thread_local std::vector<double> physical;
    static thread_local std::vector<uint8_t> present;
    std::vector<int32_t> index(Frames);
    physical.resize(w.largestSignalCount * Frames);
    present.resize(w.largestSignalCount * Frames);
    for (size_t first = 0; first < kFrames; first += Frames) {
        const size_t count = std::min(Frames, kFrames - first);
        cxl_batch batch = batchAt(w, first, count);
        batch.message_index = index.data();
        cxl_packed out{physical.size(), physical.data(), present.data(), nullptr, nullptr, 0};
        cxl_decode_packed(w.database, &batch, &out, 0);
        for (size_t e = 0; e < out.count; ++e)
            if (present[e]) visit(physical[e]);
    }
}

#ifdef CANXLATE_WITH_DBCPPP
// dbcppp's signals of each message in a flat list, found by ID in a table.
struct DbcpppDecoder {
    std::unique_ptr<dbcppp::INetwork> network;
    std::vector<std::vector<const dbcppp::ISignal*>> signals;
    std::vector<int32_t> standard = std::vector<int32_t>(2048, -1);

    // dbcppp's grammar wants the statements in the canonical order and the
    // node list on one line.
    static std::string dbcpppText(const std::string& path) {
        static const char* const kOrder[] = {"VERSION",    "NS_",          "BS_",         "BU_",          "VAL_TABLE_",
                                             "BO_",        "BO_TX_BU_",    "EV_",         "ENVVAR_DATA_", "SGTYPE_",
                                             "CM_",        "BA_DEF_",      "BA_DEF_DEF_", "BA_",          "VAL_",
                                             "SIG_GROUP_", "SIG_VALTYPE_", "SG_MUL_VAL_"};
        const auto rankOf = [](const std::string& line) {
            const std::string keyword = line.substr(0, line.find_first_of(" :"));
            for (size_t r = 0; r < std::size(kOrder); ++r)
                if (keyword == kOrder[r]) return static_cast<int>(r);
            return -1;
        };
        std::ifstream file(path);
        std::vector<std::pair<int, std::string>> statements;
        std::string line;
        while (std::getline(file, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const int rank = rankOf(line);
            if (rank >= 0 || statements.empty()) {
                statements.emplace_back(std::max(rank, 0), line);
            } else {
                statements.back().second += (statements.back().first == 3 ? " " : "\n") + line;
            }
        }
        std::stable_sort(statements.begin(), statements.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::string text;
        for (const auto& statement : statements) text += statement.second + "\n";
        return text;
    }

    DbcpppDecoder(const std::string& path, const Workload& w) {
        std::istringstream text(dbcpppText(path));
        network = dbcppp::INetwork::LoadDBCFromIs(text);
        if (network == nullptr) {
            std::printf("dbcppp cannot read %s\n", path.c_str());
            std::exit(2);
        }
        for (const TableMessage& table : w.messages) {
            for (const dbcppp::IMessage& message : network->Messages()) {
                if (message.Id() != table.id) continue;
                standard[table.id] = static_cast<int32_t>(signals.size());
                signals.emplace_back();
                for (const dbcppp::ISignal& signal : message.Signals()) signals.back().push_back(&signal);
            }
        }
    }
    template <typename Visit>
    void decode(const Workload& w, Visit visit) const {
        for (size_t f = 0; f < kFrames; ++f) {
            const int32_t m = w.ids[f] < 2048 ? standard[w.ids[f]] : -1;
            if (m < 0) continue;
            const uint8_t* payload = &w.payloads[f * 8];
            for (const dbcppp::ISignal* signal : signals[static_cast<size_t>(m)])
                visit(signal->RawToPhys(signal->Decode(payload)));
        }
    }
};
#endif

bool sameValues(const Workload& w, const Variant& reference, const Variant& variant) {
    std::vector<double> expected;
    std::vector<double> got;
    reference.visit(w, [&](double v) { expected.push_back(v); });
    variant.visit(w, [&](double v) { got.push_back(v); });
    if (expected.size() != got.size()) {
        std::printf("  %s: %zu values, the table decoder %zu\n", variant.name, got.size(), expected.size());
        return false;
    }
    for (size_t i = 0; i < got.size(); ++i) {
        if (std::memcmp(&expected[i], &got[i], sizeof(double)) != 0) {
            std::printf("  %s: value %zu is %.17g, the table decoder's %.17g\n", variant.name, i, got[i], expected[i]);
            return false;
        }
    }
    return true;
}

// The thread's CPU time: on a shared machine, time spent waiting for a core
// does not count.
double cpuNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

double nanosecondsPerFrame(const Workload& w, const Variant& variant, double& sum) {
    const double start = cpuNanoseconds();
    sum = variant.sum(w);
    return (cpuNanoseconds() - start) / kFrames;
}

template <typename Run>
Variant variantOf(const char* name, Run run) {
    return {name,
            [run](const Workload& w) {
                double sum = 0;
                run(w, [&sum](double v) { sum += v; });
                return sum;
            },
            [run](const Workload& w, Visitor visit) { run(w, visit); }};
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) files.emplace_back(argv[i]);
    if (files.empty())
        for (const char* name : {"toyota_nodsu_pt_generated", "vw_mqb", "tesla_can"})
            files.push_back(std::string(CANXLATE_SHARED_DATA_DIR) + "/dbc/" + name + ".dbc");
    bool allEqual = true;
    std::printf("CPU ns/frame, best of %d rounds, %zu random 8-byte frames; (x) = ratio to the table decoder\n", kRuns,
                kFrames);
    for (const std::string& path : files) {
        Workload w;
        if (!load(path, w) || w.messages.empty()) {
            std::printf("%s: cannot load\n", path.c_str());
            return 2;
        }
        const TableDecoder table(w.messages);
        std::vector<Variant> variants;
        variants.push_back(variantOf("table decoder", [&table](const Workload& wl, auto visit) {
            for (size_t f = 0; f < kFrames; ++f) table.decode(wl.ids[f], &wl.payloads[f * 8], visit);
        }));
#ifdef CANXLATE_WITH_DBCPPP
        const DbcpppDecoder dbcppp(path, w);
        variants.push_back(
            variantOf("dbcppp", [&dbcppp](const Workload& wl, auto visit) { dbcppp.decode(wl, visit); }));
#endif
        variants.push_back(variantOf("cxl_decode", [](const Workload& wl, auto visit) { perFrame(wl, visit); }));
        variants.push_back(variantOf("cxl_decode_batch", [](const Workload& wl, auto visit) { columns(wl, visit); }));
        variants.push_back(
            variantOf("cxl_decode_packed", [](const Workload& wl, auto visit) { packed<kBatchFrames>(wl, visit); }));
        variants.push_back(
            variantOf("  ... 512 a call", [](const Workload& wl, auto visit) { packed<512>(wl, visit); }));
        const std::string name = path.substr(path.find_last_of('/') + 1);
        std::printf("%s (%zu messages, %.1f signals a frame)\n", name.c_str(), w.messages.size(), w.signalsPerFrame);
        bool equal = true;
        for (size_t v = 1; v < variants.size(); ++v) equal = sameValues(w, variants.front(), variants[v]) && equal;
        allEqual = allEqual && equal;
        // Rounds of every variant in turn, so that a busy spell of the machine
        // touches them alike; the best round of each counts.
        std::vector<double> best(variants.size(), 1e300);
        std::vector<double> sums(variants.size());
        for (int round = 0; round < kRuns; ++round)
            for (size_t v = 0; v < variants.size(); ++v)
                best[v] = std::min(best[v], nanosecondsPerFrame(w, variants[v], sums[v]));
        for (size_t v = 0; v < variants.size(); ++v)
            std::printf("  %-18s %7.1f ns (%.2fx)%s\n", variants[v].name, best[v], best[v] / best[0],
                        sums[v] == sums[0] ? "" : "  sum differs");
        cxl_close(w.database);
    }
    return allEqual ? 0 : 1;
}
