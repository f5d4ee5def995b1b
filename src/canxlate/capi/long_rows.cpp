// A decoded batch's values turned into rows in one pass, for hosts that build long tables.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>

#include "canxlate/capi/handles.h"

namespace {

// Reads entry `index` of a code table, or gives the index itself without one.
template <typename Code>
Code codeAt(const Code* table, size_t index) noexcept {
    return table != nullptr ? table[index] : static_cast<Code>(index);
}

bool isSet(uint8_t flag) noexcept { return flag != 0; }

// A frame's run of a few values: copied in blocks of fixed sizes, which compile to plain moves where a
// call to memmove or memset would cost more than the copy.
constexpr size_t kRunBlock = 32;  // bytes

template <typename T>
void copyRun(T* out, const T* in, size_t count) noexcept {
    constexpr size_t kBlock = kRunBlock / sizeof(T);
    size_t i = 0;
    for (; count - i >= kBlock; i += kBlock) std::memcpy(out + i, in + i, sizeof(T) * kBlock);
    for (size_t block = kBlock / 2; block > 0; block /= 2)
        if (((count - i) & block) != 0) {
            std::memcpy(out + i, in + i, sizeof(T) * block);
            i += block;
        }
}

template <typename T>
void fillRun(T* out, T value, size_t count) noexcept {
    T block[kRunBlock / sizeof(T)];
    std::fill(std::begin(block), std::end(block), value);
    size_t i = 0;
    for (; count - i >= std::size(block); i += std::size(block)) std::memcpy(out + i, block, sizeof block);
    for (size_t part = std::size(block) / 2; part > 0; part /= 2)
        if (((count - i) & part) != 0) {
            std::memcpy(out + i, block, sizeof(T) * part);
            i += part;
        }
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
    // Everything the loop reads, held locally: a store through a one-byte code may alias any object, the
    // request and the batch included, which would otherwise be read again after every row.
    const size_t frames = b.frame_count;
    const int32_t* const messageIndex = b.message_index;
    const double* const timestamps = b.timestamps;
    const uint32_t* const ids = b.ids;
    const double* const physical = cells.physical;
    const uint8_t* const present = cells.present;
    const bool packed = cells.columnStride == 0;
    const size_t step = packed ? 1 : cells.columnStride;
    const size_t capacity = r.capacity;
    const size_t signalStride = r.signal_stride;
    const auto* const messageCodes = static_cast<const Code*>(r.message_codes);
    const auto* const signalCodes = static_cast<const Code*>(r.signal_codes);
    const auto* const channelCodes = static_cast<const Code*>(r.channel_codes);
    const uint16_t* const channels = r.channels;
    const size_t channelCount = r.channel_count;
    const uint64_t firstFrame = r.first_frame;
    double* const valueOut = r.value;
    double* const timeOut = r.timestamp;
    uint32_t* const idOut = r.frame_id;
    auto* const messageOut = static_cast<Code*>(r.message);
    auto* const signalOut = static_cast<Code*>(r.signal);
    auto* const channelOut = static_cast<Code*>(r.channel);
    uint64_t* const frameOut = r.frame;
    const double noTime = std::numeric_limits<double>::quiet_NaN();
    size_t n = 0;
    size_t packedAt = 0;  // the frame's first value when packed
    for (size_t f = 0; f < frames; ++f) {
        const int32_t m = messageIndex[f];
        if (m < 0) continue;
        const size_t signals = model.messages[static_cast<size_t>(m)].signals.size();
        const size_t first = packed ? packedAt : f;
        packedAt += signals;
        Code channelCode = 0;
        if (channelOut != nullptr) {
            if (channels[f] >= channelCount && channelCodes != nullptr) return CXL_ERR_ARGUMENT;
            channelCode = codeAt(channelCodes, channels[f]);
        }
        const size_t codeBase = static_cast<size_t>(m) * signalStride;
        const double time = timestamps != nullptr ? timestamps[f] : noTime;
        const uint32_t id = ids[f];
        const Code messageCode = codeAt(messageCodes, static_cast<size_t>(m));
        if (packed && n + signals <= capacity && std::all_of(present + first, present + first + signals, isSet)) {
            // Every value of the frame, side by side: each column written as one run.
            if (valueOut != nullptr) copyRun(valueOut + n, physical + first, signals);
            if (timeOut != nullptr) fillRun(timeOut + n, time, signals);
            if (idOut != nullptr) fillRun(idOut + n, id, signals);
            if (messageOut != nullptr) fillRun(messageOut + n, messageCode, signals);
            if (signalOut != nullptr) {
                if (signalCodes != nullptr)
                    copyRun(signalOut + n, signalCodes + codeBase, signals);
                else
                    for (size_t s = 0; s < signals; ++s) signalOut[n + s] = static_cast<Code>(s);
            }
            if (channelOut != nullptr) fillRun(channelOut + n, channelCode, signals);
            if (frameOut != nullptr) fillRun(frameOut + n, static_cast<uint64_t>(firstFrame + f), signals);
            n += signals;
            continue;
        }
        for (size_t s = 0; s < signals; ++s) {
            const size_t cell = first + s * step;
            if (present[cell] == 0) continue;
            if (n < capacity) {
                if (valueOut != nullptr) valueOut[n] = physical[cell];
                if (timeOut != nullptr) timeOut[n] = time;
                if (idOut != nullptr) idOut[n] = id;
                if (messageOut != nullptr) messageOut[n] = messageCode;
                if (signalOut != nullptr) signalOut[n] = codeAt(signalCodes, codeBase + s);
                if (channelOut != nullptr) channelOut[n] = channelCode;
                if (frameOut != nullptr) frameOut[n] = firstFrame + f;
            }
            ++n;
        }
    }
    r.count = n;
    return n > capacity ? CXL_ERR_LENGTH : CXL_OK;
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
