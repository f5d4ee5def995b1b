// Values to payload, multiplexing respected.
#pragma once

#include <cstddef>
#include <cstdint>

#include "canxlate.h"
#include "canxlate/database/database.h"

namespace canxlate::db {

// See cxl_encode. Throws std::bad_alloc.
cxl_status encodeMessage(const Message& message, cxl_named_value* values, size_t count, uint32_t flags,
                         uint8_t* payload, size_t length, cxl_encode_report* report);

// See cxl_encode_raw. Throws std::bad_alloc.
cxl_status encodeMessageRaw(const Message& message, const cxl_raw_value* values, size_t count, uint32_t flags,
                            uint8_t* payload, size_t length, cxl_encode_report* report);

// The field bits for a physical value, rounded half away from zero and
// saturated to the field (no limits applied here).
uint64_t fieldFromPhysical(const Signal& signal, double physical) noexcept;

}  // namespace canxlate::db
