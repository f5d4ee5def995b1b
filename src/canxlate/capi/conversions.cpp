// Decoding and encoding through the C interface.
#include "canxlate/capi/handles.h"
#include "canxlate/codec/decoder.h"
#include "canxlate/codec/encoder.h"

using namespace canxlate::capi;
namespace db = canxlate::db;

extern "C" {

CXL_API cxl_status CXL_CALL cxl_decode(const cxl_message* handle, const uint8_t* payload, size_t length, uint32_t flags,
                                       cxl_value* values) {
    if (handle == nullptr || (payload == nullptr && length != 0) ||
        (values == nullptr && !toMessage(handle)->signals.empty()))
        return CXL_ERR_ARGUMENT;
    if (length > db::kMaxPayloadBytes) return CXL_ERR_LENGTH;
    db::decodeMessage(*toMessage(handle), payload, length, (flags & CXL_CLAMP) != 0, values);
    return CXL_OK;
}

CXL_API cxl_status CXL_CALL cxl_decode_batch(const cxl_database* database, const cxl_batch* batch, uint32_t flags) {
    if (database == nullptr || batch == nullptr) return CXL_ERR_ARGUMENT;
    const cxl_batch& b = *batch;
    const size_t columns = database->model.largestSignalCount;
    if (b.frame_count == 0) return CXL_OK;
    if (b.ids == nullptr || b.payloads == nullptr || b.message_index == nullptr || b.column_stride < b.frame_count ||
        (columns != 0 && (b.physical == nullptr || b.present == nullptr)) ||
        (b.lengths == nullptr && b.payload_stride > db::kMaxPayloadBytes))
        return CXL_ERR_ARGUMENT;
    db::decodeBatch(database->model, b, (flags & CXL_CLAMP) != 0);
    return CXL_OK;
}

CXL_API cxl_status CXL_CALL cxl_encode(const cxl_message* handle, cxl_named_value* values, size_t count, uint32_t flags,
                                       uint8_t* payload, size_t length, cxl_encode_report* report) {
    if (handle == nullptr || payload == nullptr || (values == nullptr && count != 0)) return CXL_ERR_ARGUMENT;
    return guarded(
        [&] { return db::encodeMessage(*toMessage(handle), values, count, flags, payload, length, report); });
}

CXL_API cxl_status CXL_CALL cxl_encode_raw(const cxl_message* handle, const cxl_raw_value* values, size_t count,
                                           uint32_t flags, uint8_t* payload, size_t length, cxl_encode_report* report) {
    if (handle == nullptr || payload == nullptr || (values == nullptr && count != 0)) return CXL_ERR_ARGUMENT;
    return guarded(
        [&] { return db::encodeMessageRaw(*toMessage(handle), values, count, flags, payload, length, report); });
}

}  // extern "C"
