// Decoding and encoding through the C interface.
#include <cmath>
#include <limits>
#include <vector>

#include "capi/handles.h"
#include "codec/decoder.h"
#include "codec/encoder.h"

using namespace canxlate::capi;
namespace db = canxlate::db;

extern "C" {

CXL_API cxl_status cxl_decode(const cxl_message* handle, const uint8_t* payload, size_t length, uint32_t flags,
                              cxl_value* values) {
    if (handle == nullptr || (payload == nullptr && length != 0) ||
        (values == nullptr && !toMessage(handle)->signals.empty()))
        return CXL_ERR_ARGUMENT;
    if (length > db::kMaxPayloadBytes) return CXL_ERR_LENGTH;
    db::decodeMessage(*toMessage(handle), payload, length, (flags & CXL_CLAMP) != 0, values);
    return CXL_OK;
}

CXL_API cxl_status cxl_decode_batch(const cxl_database* database, const cxl_batch* batch, uint32_t flags) {
    if (database == nullptr || batch == nullptr) return CXL_ERR_ARGUMENT;
    const cxl_batch& b = *batch;
    const size_t columns = database->model.largestSignalCount;
    if (b.frame_count == 0) return CXL_OK;
    if (b.ids == nullptr || b.payloads == nullptr || b.message_index == nullptr || b.column_stride < b.frame_count ||
        (columns != 0 && (b.physical == nullptr || b.present == nullptr)) ||
        (b.lengths == nullptr && b.payload_stride > db::kMaxPayloadBytes))
        return CXL_ERR_ARGUMENT;
    return guarded([&]() -> cxl_status {
        std::vector<cxl_value> values(columns);
        const bool clamp = (flags & CXL_CLAMP) != 0;
        const double absent = std::numeric_limits<double>::quiet_NaN();
        for (size_t f = 0; f < b.frame_count; ++f) {
            const uint32_t id = b.ids[f];
            const bool extended = b.extended != nullptr ? b.extended[f] != 0 : id > 0x7FF;
            size_t length = b.lengths != nullptr ? b.lengths[f] : b.payload_stride;
            if (length > b.payload_stride) length = b.payload_stride;
            if (length > db::kMaxPayloadBytes) length = db::kMaxPayloadBytes;
            if (b.timestamps != nullptr && b.timestamps_out != nullptr) b.timestamps_out[f] = b.timestamps[f];
            const uint32_t index = database->model.findMessage(id, extended);
            size_t filled = 0;
            if (index == db::kNotFound) {
                b.message_index[f] = -1;
            } else {
                const db::Message& message = database->model.messages[index];
                b.message_index[f] = static_cast<int32_t>(index);
                db::decodeMessage(message, b.payloads + f * b.payload_stride, length, clamp, values.data());
                filled = message.signals.size();
                for (size_t s = 0; s < filled; ++s) {
                    b.physical[s * b.column_stride + f] = values[s].present ? values[s].physical : absent;
                    b.present[s * b.column_stride + f] = static_cast<uint8_t>(values[s].present);
                }
            }
            for (size_t s = filled; s < columns; ++s) {
                b.physical[s * b.column_stride + f] = absent;
                b.present[s * b.column_stride + f] = 0;
            }
        }
        return CXL_OK;
    });
}

CXL_API cxl_status cxl_encode(const cxl_message* handle, cxl_named_value* values, size_t count, uint32_t flags,
                              uint8_t* payload, size_t length, cxl_encode_report* report) {
    if (handle == nullptr || payload == nullptr || (values == nullptr && count != 0)) return CXL_ERR_ARGUMENT;
    return guarded(
        [&] { return db::encodeMessage(*toMessage(handle), values, count, flags, payload, length, report); });
}

}  // extern "C"
