// Opens the input as DBC text with libcanxlate's reader, then decodes and
// encodes every message on a fixed payload, with and without clamping, and
// writes it as DBC text: what is written opens, and unless a name or ID is
// given twice, writes the same again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "canxlate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    cxl_database* database = nullptr;
    const cxl_status status = cxl_open_memory(data, size, CXL_FORMAT_DBC, &database);
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
    }
    bool duplicates = false;  // a name or ID given twice: references to the later one cannot be written
    for (size_t i = 0; i < cxl_diagnostic_count(database); ++i) {
        cxl_diagnostic diagnostic;
        if (cxl_get_diagnostic(database, i, &diagnostic) != CXL_OK || diagnostic.text == nullptr) std::abort();
        duplicates = duplicates || diagnostic.topic == CXL_TOPIC_DUPLICATE;
    }
    char* text = nullptr;
    size_t textSize = 0;
    if (cxl_write_dbc_memory(database, &text, &textSize) != CXL_OK) std::abort();
    cxl_database* rewritten = nullptr;
    if (cxl_open_memory(text, textSize, CXL_FORMAT_DBC, &rewritten) != CXL_OK) std::abort();
    char* again = nullptr;
    size_t againSize = 0;
    if (cxl_write_dbc_memory(rewritten, &again, &againSize) != CXL_OK) std::abort();
    if (!duplicates && (againSize != textSize || std::memcmp(again, text, textSize) != 0)) std::abort();
    cxl_free_text(again);
    cxl_free_text(text);
    cxl_close(rewritten);
    cxl_close(database);
    return 0;
}
