// A decoded batch's values turned into rows in one pass, for hosts that build long tables.
#include <cstdint>
#include <limits>

#include "canxlate/capi/handles.h"

namespace {

// Reads entry `index` of a code table, or gives the index itself without one.
template <typename Code>
Code codeAt(const void* table, size_t index) noexcept {
    return table != nullptr ? static_cast<const Code*>(table)[index] : static_cast<Code>(index);
}

// Where a batch's values are: by column (cxl_decode_batch) or each frame's
// side by side (cxl_decode_packed).
struct Cells {
    const double* physical;
    const uint8_t* present;
    size_t columnStride;  // 0: packed
};

template <typename Code>
cxl_status writeRows(const canxlate::db::Database& model, const cxl_batch& b, const Cells& cells,
                     cxl_rows& r) noexcept {
    auto* messageOut = static_cast<Code*>(r.message);
    auto* signalOut = static_cast<Code*>(r.signal);
    auto* channelOut = static_cast<Code*>(r.channel);
    const double noTime = std::numeric_limits<double>::quiet_NaN();
    size_t n = 0;
    size_t packedAt = 0;  // the frame's first value when packed
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
        const size_t columnStride = cells.columnStride;
        const size_t first = columnStride != 0 ? f : packedAt;
        const size_t step = columnStride != 0 ? columnStride : 1;
        packedAt += signals;
        for (size_t s = 0; s < signals; ++s) {
            const size_t cell = first + s * step;
            if (cells.present[cell] == 0) continue;
            if (n < r.capacity) {
                if (r.value != nullptr) r.value[n] = cells.physical[cell];
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

// The checks and the dispatch by code size that both forms share.
cxl_status rowsOf(const cxl_database* database, const cxl_batch* batch, const Cells& cells, cxl_rows* rows) noexcept {
    if (database == nullptr || batch == nullptr || rows == nullptr) return CXL_ERR_ARGUMENT;
    const cxl_batch& b = *batch;
    cxl_rows& r = *rows;
    r.count = 0;
    const auto& model = database->model;
    if (b.frame_count == 0) return CXL_OK;
    if (b.ids == nullptr || b.message_index == nullptr ||
        (model.largestSignalCount != 0 && (cells.physical == nullptr || cells.present == nullptr)) ||
        (r.signal_codes != nullptr && r.signal_stride < model.largestSignalCount) ||
        (r.channel != nullptr && r.channels == nullptr))
        return CXL_ERR_ARGUMENT;
    switch (r.code_size) {
        case 1: return writeRows<int8_t>(model, b, cells, r);
        case 2: return writeRows<int16_t>(model, b, cells, r);
        case 4: return writeRows<int32_t>(model, b, cells, r);
        default: return CXL_ERR_ARGUMENT;
    }
}

}  // namespace

extern "C" {

CXL_API cxl_status CXL_CALL cxl_batch_rows(const cxl_database* database, const cxl_batch* batch, cxl_rows* rows) {
    if (batch != nullptr && batch->frame_count != 0 && batch->column_stride < batch->frame_count) {
        if (rows != nullptr) rows->count = 0;
        return CXL_ERR_ARGUMENT;
    }
    const Cells cells{batch != nullptr ? batch->physical : nullptr, batch != nullptr ? batch->present : nullptr,
                      batch != nullptr ? batch->column_stride : 0};
    return rowsOf(database, batch, cells, rows);
}

CXL_API cxl_status CXL_CALL cxl_packed_rows(const cxl_database* database, const cxl_batch* batch,
                                            const cxl_packed* packed, cxl_rows* rows) {
    if (packed == nullptr || packed->count > packed->capacity) {
        if (rows != nullptr) rows->count = 0;
        return CXL_ERR_ARGUMENT;
    }
    return rowsOf(database, batch, Cells{packed->physical, packed->present, 0}, rows);
}

}  // extern "C"
