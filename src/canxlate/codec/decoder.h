// Payload to values, multiplexing respected.
#pragma once

#include <cstddef>
#include <cstdint>

#include "canxlate/database/database.h"
#include "canxlate/database/decode_plan.h"

namespace canxlate::db {

// One signal's value as a frame carries it.
struct DecodedValue {
    int32_t present;   // whether the frame carries the signal
    int32_t clamped;   // with clamping: whether the limits applied
    uint64_t raw;      // the field bits; signed fields sign-extended
    double physical;   // raw * factor + offset
    const char* text;  // value-table text, or null
};

// Frames to decode: frame f has ids[f], and its payload at payloads + f *
// payloadStride, of lengths[f] bytes (payloadStride when lengths is null).
struct FrameBatch {
    size_t frameCount;
    const uint32_t* ids;
    const uint8_t* extended;  // null: every ID standard unless over 0x7FF
    const uint8_t* lengths;
    const uint8_t* payloads;
    size_t payloadStride;
    const double* timestamps;  // optional, copied to timestampsOut
    double* timestampsOut;
    int32_t* messageIndex;  // written: the frame's message, or -1
};

// Output by column: signal s of frame f at s * columnStride + f.
struct ColumnOutput {
    size_t columnStride;
    double* physical;
    uint8_t* present;
};

// Output packed: signal s of frame f at first[f] + s.
struct PackedOutput {
    size_t capacity;
    double* physical;
    uint8_t* present;
    const char** text;  // optional
    size_t* first;      // optional
};

// values[i] for signal i; length at most kMaxPayloadBytes.
void decodeMessage(const Message& message, const uint8_t* payload, size_t length, bool clamp,
                   DecodedValue* values) noexcept;

// Every frame's values into the database's largestSignalCount columns.
void decodeBatch(const Database& database, const FrameBatch& batch, const ColumnOutput& columns, bool clamp) noexcept;

// Every frame's values packed, while they fit in capacity. Returns the
// entries the batch needs.
size_t decodePacked(const Database& database, const FrameBatch& batch, const PackedOutput& packed, bool clamp) noexcept;

// The value-table text of a raw value, or null.
const char* valueText(const Signal& signal, uint64_t raw) noexcept;

}  // namespace canxlate::db
