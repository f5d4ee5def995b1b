// Payload to values, multiplexing respected.
#pragma once

#include <cstddef>
#include <cstdint>

#include "canxlate.h"
#include "canxlate/database/database.h"
#include "canxlate/database/decode_plan.h"

namespace canxlate::db {

// values[i] for signal i; length at most kMaxPayloadBytes.
void decodeMessage(const Message& message, const uint8_t* payload, size_t length, bool clamp,
                   cxl_value* values) noexcept;

// See cxl_decode_batch; the arguments have been checked.
void decodeBatch(const Database& database, const cxl_batch& batch, bool clamp) noexcept;

// See cxl_decode_packed; the arguments have been checked (capacity included
// or not). Returns the entries the batch needs.
size_t decodePacked(const Database& database, const cxl_batch& batch, const cxl_packed& packed, bool clamp) noexcept;

// The value-table text of a raw value, or null.
const char* valueText(const Signal& signal, uint64_t raw) noexcept;

}  // namespace canxlate::db
