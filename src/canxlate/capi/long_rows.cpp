// A decoded batch's columns turned into rows in one pass, for hosts that build long tables.
#include <cstdint>
#include <limits>

#include "canxlate/capi/handles.h"

namespace {

// Reads entry `index` of a code table, or gives the index itself without one.
template <typename Code>
Code codeAt(const void* table, size_t index) noexcept {
    return table != nullptr ? static_cast<const Code*>(table)[index] : static_cast<Code>(index);
}

template <typename Code>
cxl_status writeRows(const canxlate::db::Database& model, const cxl_batch& b, cxl_rows& r) noexcept {
    auto* messageOut = static_cast<Code*>(r.message);
    auto* signalOut = static_cast<Code*>(r.signal);
    auto* channelOut = static_cast<Code*>(r.channel);
    const double noTime = std::numeric_limits<double>::quiet_NaN();
    size_t n = 0;
    for (size_t f = 0; f < b.frame_count; ++f) {
        const int32_t m = b.message_index[f];
        if (m < 0) continue;
        const size_t signals = model.messages[static_cast<size_t>(m)].signals.size();
        const double time = b.timestamps != nullptr ? b.timestamps[f] : noTime;
        const uint32_t id = b.ids[f];
        const Code messageCode = codeAt<Code>(r.message_codes, static_cast<size_t>(m));
        Code channelCode = 0;
        if (channelOut != nullptr) {
            if (r.channels[f] >= r.channel_count && r.channel_codes != nullptr) return CXL_ERR_ARGUMENT;
            channelCode = codeAt<Code>(r.channel_codes, r.channels[f]);
        }
        const size_t codeBase = static_cast<size_t>(m) * r.signal_stride;
        for (size_t s = 0; s < signals; ++s) {
            const size_t cell = s * b.column_stride + f;
            if (b.present[cell] == 0) continue;
            if (n < r.capacity) {
                if (r.value != nullptr) r.value[n] = b.physical[cell];
                if (r.timestamp != nullptr) r.timestamp[n] = time;
                if (r.frame_id != nullptr) r.frame_id[n] = id;
                if (messageOut != nullptr) messageOut[n] = messageCode;
                if (signalOut != nullptr)
                    signalOut[n] =
                        r.signal_codes != nullptr ? codeAt<Code>(r.signal_codes, codeBase + s) : static_cast<Code>(s);
                if (channelOut != nullptr) channelOut[n] = channelCode;
                if (r.frame != nullptr) r.frame[n] = r.first_frame + f;
            }
            ++n;
        }
    }
    r.count = n;
    return n > r.capacity ? CXL_ERR_LENGTH : CXL_OK;
}

}  // namespace

extern "C" {

CXL_API cxl_status CXL_CALL cxl_batch_rows(const cxl_database* database, const cxl_batch* batch, cxl_rows* rows) {
    if (database == nullptr || batch == nullptr || rows == nullptr) return CXL_ERR_ARGUMENT;
    const cxl_batch& b = *batch;
    cxl_rows& r = *rows;
    r.count = 0;
    const auto& model = database->model;
    if (b.frame_count == 0) return CXL_OK;
    if (b.ids == nullptr || b.message_index == nullptr || b.column_stride < b.frame_count ||
        (model.largestSignalCount != 0 && (b.physical == nullptr || b.present == nullptr)) ||
        (r.signal_codes != nullptr && r.signal_stride < model.largestSignalCount) ||
        (r.channel != nullptr && r.channels == nullptr))
        return CXL_ERR_ARGUMENT;
    switch (r.code_size) {
        case 1: return writeRows<int8_t>(model, b, r);
        case 2: return writeRows<int16_t>(model, b, r);
        case 4: return writeRows<int32_t>(model, b, r);
        default: return CXL_ERR_ARGUMENT;
    }
}

}  // extern "C"
