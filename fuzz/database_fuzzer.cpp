// Opens the input with libcanxlate's reader of one format (CANXLATE_FUZZ_FORMAT:
// DBC or ".zcd"), then decodes and encodes every message on a fixed payload,
// with and without clamping and as field values; decodes a batch of every
// message packed and by column, which must give what cxl_decode gives each
// frame alone;
// opens it twice as two sources; and writes it as DBC text:
// what is written opens, and unless a name or ID is given twice or the input
// has errors, writes the same again.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "canxlate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    cxl_database* database = nullptr;
    const cxl_status status = cxl_open_memory(data, size, CANXLATE_FUZZ_FORMAT, &database);
    if (status != CXL_OK) {
        if (database != nullptr) std::abort();
        return 0;
    }
    uint8_t payload[64];
    for (size_t i = 0; i < sizeof payload; ++i) payload[i] = static_cast<uint8_t>(0xA5 ^ (i * 37));
    cxl_database_info info;
    if (cxl_get_database_info(database, &info) != CXL_OK) std::abort();
    std::vector<cxl_value> values(info.largest_signal_count + 1);
    std::vector<cxl_named_value> named(info.largest_signal_count + 1);
    for (size_t m = 0; m < info.message_count; ++m) {
        const cxl_message* message = cxl_message_at(database, m);
        cxl_message_info mi;
        if (message == nullptr || cxl_get_message_info(message, &mi) != CXL_OK) std::abort();
        for (size_t length : {size_t{mi.length}, size_t{8}, size_t{64}}) {
            if (cxl_decode(message, payload, length, 0, values.data()) != CXL_OK) std::abort();
        }
        size_t count = 0;
        for (size_t s = 0; s < mi.signal_count; ++s) {
            if (!values[s].present) continue;
            cxl_signal_info si;
            cxl_get_signal_info(cxl_signal_at(message, s), &si);
            named[count++] = {si.name, values[s].physical + 0.5, 0};
        }
        uint8_t encoded[64] = {};
        cxl_encode_report report;
        cxl_encode(message, named.data(), count, CXL_CLAMP | CXL_KEEP_MISSING, encoded, 64, &report);
        cxl_encode(message, named.data(), count, 0, encoded, mi.length, &report);
        std::vector<cxl_raw_value> raws;
        for (size_t s = 0; s < mi.signal_count; ++s)
            if (values[s].present) raws.push_back({named[raws.size()].name, values[s].raw});
        cxl_encode_raw(message, raws.data(), raws.size(), CXL_KEEP_MISSING, encoded, 64, &report);
    }
    std::vector<uint32_t> ids;
    std::vector<uint8_t> extended, lengths;
    for (size_t m = 0; m < info.message_count; ++m) {
        cxl_message_info mi;
        cxl_get_message_info(cxl_message_at(database, m), &mi);
        for (uint8_t length : {static_cast<uint8_t>(mi.length), uint8_t{64}}) {
            ids.push_back(mi.id);
            extended.push_back(static_cast<uint8_t>(mi.extended));
            lengths.push_back(length);
        }
    }
    const size_t frames = ids.size();
    std::vector<uint8_t> payloads(frames * 64);
    for (size_t f = 0; f < frames; ++f) std::memcpy(&payloads[f * 64], payload, 64);
    std::vector<double> physical(frames * info.largest_signal_count + 1);
    std::vector<uint8_t> present(physical.size());
    std::vector<const char*> texts(physical.size());
    std::vector<size_t> first(frames + 1);
    std::vector<int32_t> index(frames + 1);
    cxl_batch batch{};
    batch.frame_count = frames;
    batch.ids = ids.data();
    batch.extended = extended.data();
    batch.lengths = lengths.data();
    batch.payloads = payloads.data();
    batch.payload_stride = 64;
    batch.message_index = index.data();
    cxl_packed packed{physical.size(), physical.data(), present.data(), texts.data(), first.data(), 0};
    if (cxl_decode_packed(database, &batch, &packed, CXL_CLAMP) != CXL_OK) std::abort();
    // The same frames by column.
    std::vector<double> columns(frames * info.largest_signal_count);
    std::vector<uint8_t> columnPresent(columns.size());
    std::vector<int32_t> columnIndex(frames);
    cxl_batch byColumn = batch;
    byColumn.column_stride = frames;
    byColumn.physical = columns.data();
    byColumn.present = columnPresent.data();
    byColumn.message_index = columnIndex.data();
    if (cxl_decode_batch(database, &byColumn, CXL_CLAMP) != CXL_OK) std::abort();
    for (size_t f = 0; f < frames; ++f) {
        // The first message of an ID is the one decoded.
        const cxl_message* message = cxl_find_message(database, ids[f], extended[f]);
        cxl_message_info mi;
        if (message == nullptr || cxl_get_message_info(message, &mi) != CXL_OK) std::abort();
        if (index[f] != static_cast<int32_t>(mi.index)) std::abort();
        cxl_decode(message, payload, lengths[f], CXL_CLAMP, values.data());
        for (size_t s = 0; s < mi.signal_count; ++s) {
            const size_t at = first[f] + s;
            if (present[at] != values[s].present || texts[at] != values[s].text) std::abort();
            if (values[s].present && std::memcmp(&physical[at], &values[s].physical, sizeof(double)) != 0) std::abort();
        }
        if (columnIndex[f] != index[f]) std::abort();
        for (size_t s = 0; s < info.largest_signal_count; ++s) {
            const size_t cell = s * frames + f;
            const int32_t carried = s < mi.signal_count ? values[s].present : 0;
            if (columnPresent[cell] != carried) std::abort();
            if (carried ? std::memcmp(&columns[cell], &values[s].physical, sizeof(double)) != 0
                        : !std::isnan(columns[cell]))
                std::abort();
        }
    }
    // The same text twice as two sources: one database with the messages of both.
    const cxl_source twice[] = {{data, size, CANXLATE_FUZZ_FORMAT}, {data, size, CANXLATE_FUZZ_FORMAT}};
    cxl_database* merged = nullptr;
    cxl_database_info mergedInfo;
    if (cxl_open_sources(twice, 2, &merged) != CXL_OK || cxl_get_database_info(merged, &mergedInfo) != CXL_OK ||
        mergedInfo.message_count != 2 * info.message_count)
        std::abort();
    cxl_close(merged);
    // Written again the same unless a name or ID was given twice (references to
    // the later one cannot be written) or something could not be read as given
    // (an error: a signal left without its switch may find one in what is written).
    bool fixedPoint = true;
    for (size_t i = 0; i < cxl_diagnostic_count(database); ++i) {
        cxl_diagnostic diagnostic;
        if (cxl_get_diagnostic(database, i, &diagnostic) != CXL_OK || diagnostic.text == nullptr) std::abort();
        fixedPoint = fixedPoint && diagnostic.topic != CXL_TOPIC_DUPLICATE && diagnostic.severity != CXL_SEVERITY_ERROR;
    }
    char* text = nullptr;
    size_t textSize = 0;
    // What a later message of a shared ID has said of it by that ID is
    // refused unless left out.
    const cxl_write_options leaveOut{CXL_WRITE_LEAVE_OUT_AMBIGUOUS, nullptr, 0, nullptr, 0, nullptr, 0};
    const cxl_status plain = cxl_write_dbc_memory(database, &text, &textSize);
    if (plain != CXL_OK && (plain != CXL_ERR_AMBIGUOUS || fixedPoint ||
                            cxl_write_dbc_text(database, &leaveOut, &text, &textSize) != CXL_OK))
        std::abort();
    cxl_database* rewritten = nullptr;
    if (cxl_open_memory(text, textSize, CXL_FORMAT_DBC, &rewritten) != CXL_OK) std::abort();
    char* again = nullptr;
    size_t againSize = 0;
    if (cxl_write_dbc_memory(rewritten, &again, &againSize) != CXL_OK) std::abort();
    if (fixedPoint && (againSize != textSize || std::memcmp(again, text, textSize) != 0)) std::abort();
    cxl_free_text(again);
    cxl_free_text(text);
    cxl_close(rewritten);
    // Names written whole and value texts as given, the signals named in the
    // reverse of their order: still text that opens.
    cxl_database_info writtenInfo;
    if (cxl_get_database_info(database, &writtenInfo) != CXL_OK) std::abort();
    std::vector<uint32_t> reversed;
    for (size_t m = 0; m < writtenInfo.message_count; ++m) {
        cxl_message_info message;
        if (cxl_get_message_info(cxl_message_at(database, m), &message) != CXL_OK) std::abort();
        for (size_t s = message.signal_count; s > 0; --s) reversed.push_back(static_cast<uint32_t>(s - 1));
    }
    const cxl_write_options options{
        CXL_WRITE_LONG_NAMES | CXL_WRITE_VALUE_TEXTS_AS_GIVEN | CXL_WRITE_LEAVE_OUT_AMBIGUOUS,
        reversed.data(),
        reversed.size(),
        nullptr,
        0,
        reversed.data(),
        reversed.size()};
    if (cxl_write_dbc_text(database, &options, &text, &textSize) != CXL_OK) std::abort();
    if (cxl_open_memory(text, textSize, CXL_FORMAT_DBC, &rewritten) != CXL_OK) std::abort();
    cxl_free_text(text);
    cxl_close(rewritten);
    cxl_close(database);
    return 0;
}
