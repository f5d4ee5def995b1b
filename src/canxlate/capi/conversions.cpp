// Decoding and encoding through the C interface.
#include <cstddef>

#include "canxlate/capi/handles.h"
#include "canxlate/codec/decoder.h"
#include "canxlate/codec/encoder.h"

using namespace canxlate::capi;
namespace db = canxlate::db;

// The decoder writes the values in place: the two layouts are one.
static_assert(sizeof(db::DecodedValue) == sizeof(cxl_value) && alignof(db::DecodedValue) == alignof(cxl_value));
static_assert(offsetof(db::DecodedValue, present) == offsetof(cxl_value, present) &&
              offsetof(db::DecodedValue, clamped) == offsetof(cxl_value, clamped) &&
              offsetof(db::DecodedValue, raw) == offsetof(cxl_value, raw) &&
              offsetof(db::DecodedValue, physical) == offsetof(cxl_value, physical) &&
              offsetof(db::DecodedValue, text) == offsetof(cxl_value, text));

// The encoder reads the values and writes the report in place, as with decoding.
static_assert(sizeof(db::NamedValue) == sizeof(cxl_named_value) &&
              offsetof(db::NamedValue, name) == offsetof(cxl_named_value, name) &&
              offsetof(db::NamedValue, value) == offsetof(cxl_named_value, value) &&
              offsetof(db::NamedValue, clamped) == offsetof(cxl_named_value, clamped));
static_assert(sizeof(db::RawValue) == sizeof(cxl_raw_value) &&
              offsetof(db::RawValue, name) == offsetof(cxl_raw_value, name) &&
              offsetof(db::RawValue, raw) == offsetof(cxl_raw_value, raw));
static_assert(sizeof(db::EncodeReport) == sizeof(cxl_encode_report) &&
              offsetof(db::EncodeReport, signal) == offsetof(cxl_encode_report, signal) &&
              offsetof(db::EncodeReport, text) == offsetof(cxl_encode_report, text) &&
              sizeof(db::EncodeReport::text) == sizeof(cxl_encode_report::text));

namespace {

db::EncodeFlags encodeFlagsOf(uint32_t flags) noexcept {
    return {(flags & CXL_CLAMP) != 0, (flags & CXL_KEEP_MISSING) != 0};
}

cxl_status statusOf(db::EncodeStatus status) noexcept {
    switch (status) {
        case db::EncodeStatus::kOk: return CXL_OK;
        case db::EncodeStatus::kNotFound: return CXL_ERR_NOT_FOUND;
        case db::EncodeStatus::kLength: return CXL_ERR_LENGTH;
        case db::EncodeStatus::kNotCarried: return CXL_ERR_NOT_CARRIED;
        case db::EncodeStatus::kMissing: return CXL_ERR_MISSING;
        case db::EncodeStatus::kOutOfRange: return CXL_ERR_OUT_OF_RANGE;
    }
    return CXL_ERR_INTERNAL;
}

db::FrameBatch framesOf(const cxl_batch& b) noexcept {
    return {b.frame_count,    b.ids,        b.extended,       b.lengths,      b.payloads,
            b.payload_stride, b.timestamps, b.timestamps_out, b.message_index};
}

}  // namespace

extern "C" {

CXL_API cxl_status CXL_CALL cxl_decode(const cxl_message* handle, const uint8_t* payload, size_t length, uint32_t flags,
                                       cxl_value* values) {
    if (handle == nullptr || (payload == nullptr && length != 0) ||
        (values == nullptr && !toMessage(handle)->signals.empty()))
        return CXL_ERR_ARGUMENT;
    if (length > db::kMaxPayloadBytes) return CXL_ERR_LENGTH;
    db::decodeMessage(*toMessage(handle), payload, length, (flags & CXL_CLAMP) != 0,
                      reinterpret_cast<db::DecodedValue*>(values));
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
    db::decodeBatch(database->model, framesOf(b), {b.column_stride, b.physical, b.present}, (flags & CXL_CLAMP) != 0);
    return CXL_OK;
}

CXL_API cxl_status CXL_CALL cxl_decode_packed(const cxl_database* database, const cxl_batch* batch, cxl_packed* packed,
                                              uint32_t flags) {
    if (database == nullptr || batch == nullptr || packed == nullptr) return CXL_ERR_ARGUMENT;
    const cxl_batch& b = *batch;
    cxl_packed& p = *packed;
    p.count = 0;
    if (b.frame_count == 0) return CXL_OK;
    if (b.ids == nullptr || b.payloads == nullptr || b.message_index == nullptr ||
        (p.capacity != 0 && (p.physical == nullptr || p.present == nullptr)) ||
        (b.lengths == nullptr && b.payload_stride > db::kMaxPayloadBytes))
        return CXL_ERR_ARGUMENT;
    p.count = db::decodePacked(database->model, framesOf(b), {p.capacity, p.physical, p.present, p.text, p.first},
                               (flags & CXL_CLAMP) != 0);
    return p.count > p.capacity ? CXL_ERR_LENGTH : CXL_OK;
}

CXL_API cxl_status CXL_CALL cxl_encode(const cxl_message* handle, cxl_named_value* values, size_t count, uint32_t flags,
                                       uint8_t* payload, size_t length, cxl_encode_report* report) {
    if (handle == nullptr || payload == nullptr || (values == nullptr && count != 0)) return CXL_ERR_ARGUMENT;
    return guarded([&] {
        return statusOf(db::encodeMessage(*toMessage(handle), reinterpret_cast<db::NamedValue*>(values), count,
                                          encodeFlagsOf(flags), payload, length,
                                          reinterpret_cast<db::EncodeReport*>(report)));
    });
}

CXL_API cxl_status CXL_CALL cxl_encode_raw(const cxl_message* handle, const cxl_raw_value* values, size_t count,
                                           uint32_t flags, uint8_t* payload, size_t length, cxl_encode_report* report) {
    if (handle == nullptr || payload == nullptr || (values == nullptr && count != 0)) return CXL_ERR_ARGUMENT;
    return guarded([&] {
        return statusOf(db::encodeMessageRaw(*toMessage(handle), reinterpret_cast<const db::RawValue*>(values), count,
                                             encodeFlagsOf(flags), payload, length,
                                             reinterpret_cast<db::EncodeReport*>(report)));
    });
}

}  // extern "C"
