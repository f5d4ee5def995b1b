// Values to payload, multiplexing respected.
#pragma once

#include <cstddef>
#include <cstdint>

#include "canxlate/database/database.h"

namespace canxlate::db {

enum class EncodeStatus { kOk, kNotFound, kLength, kNotCarried, kMissing, kOutOfRange };

struct EncodeFlags {
    bool clamp;        // values outside the limits are clamped, not refused
    bool keepMissing;  // signals not given keep the payload's bits
};

// A signal's value by name; clamped is set when the limits applied.
struct NamedValue {
    const char* name;
    double value;
    int32_t clamped;
};

// A signal's field bits by name: int64_t for signed signals, IEEE bits for floats.
struct RawValue {
    const char* name;
    uint64_t raw;
};

// What went wrong, naming the signal.
struct EncodeReport {
    const Signal* signal;  // the signal at fault, or null
    char text[200];
};

// Writes the given signals into payload (length bytes, the message's length
// or more), leaving every other bit as it is; the switch values given decide
// which branch's signals are written. report is optional. Throws
// std::bad_alloc.
EncodeStatus encodeMessage(const Message& message, NamedValue* values, size_t count, EncodeFlags flags,
                           uint8_t* payload, size_t length, EncodeReport* report);

// The same with field bits: no limits apply, and bits that do not fit the
// field are refused.
EncodeStatus encodeMessageRaw(const Message& message, const RawValue* values, size_t count, EncodeFlags flags,
                              uint8_t* payload, size_t length, EncodeReport* report);

// The field bits for a physical value, rounded half away from zero and
// saturated to the field (no limits applied here).
uint64_t fieldFromPhysical(const Signal& signal, double physical) noexcept;

}  // namespace canxlate::db
