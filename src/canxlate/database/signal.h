// A signal of a message as the file defines it, with its field layout
// prepared for decoding and encoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "canxlate/database/attribute.h"
#include "canxlate/database/bit_field.h"
#include "canxlate/database/mux_range_list.h"
#include "canxlate/database/name_list.h"
#include "canxlate/database/out_of_line.h"
#include "canxlate/database/value_table.h"
#include "shared/text/short_text.h"
#include "shared/text/tiny_text.h"

namespace canxlate::db {

enum class ValueType : uint8_t { kSigned = 0, kUnsigned = 1, kSingle = 2, kDouble = 3 };
enum class MuxRole : uint8_t { kPlain = 0, kSwitch = 1, kMultiplexed = 2, kMultiplexedSwitch = 3 };

inline constexpr uint32_t kNoSwitch = UINT32_MAX;
// A signal's index is 24 bits wide: a message holds no more.
inline constexpr size_t kMostSignals = size_t{1} << 24;

// What few signals are given.
struct SignalDetails {
    ShortText comment;
    ValueTable values;
    AttributeList attributes;
    double startValue = 0.0;     // GenSigStartValue, a raw value
    bool hasStartValue = false;  // whether startValue was given
};

// MinGW lays bit fields out as MSVC does, a unit for each type; the GCC
// layout keeps the flags in the index's word.
#if defined(_WIN32) && defined(__GNUC__) && !defined(__clang__)
#  define CANXLATE_SHARED_BIT_UNITS __attribute__((gcc_struct))
#else
#  define CANXLATE_SHARED_BIT_UNITS
#endif

// Fields in an order that leaves no padding: a file may hold millions.
struct CANXLATE_SHARED_BIT_UNITS Signal {
    ShortText name;
    TinyText unit;
    NameList receivers;
    double factor = 1.0;
    double offset = 0.0;
    double minimum = 0.0;
    double maximum = 0.0;
    MuxRangeList muxRanges;  // as the file gives them
    OutOfLine<SignalDetails> details;
    BitField field{};
    uint32_t startBit = 0;  // as the file writes it
    uint32_t length = 0;
    uint32_t switchIndex = kNoSwitch;  // index of the switch within the message
    uint32_t index : 24 = 0;           // within the message: see Message::kMostSignals
    ValueType type : 2 = ValueType::kUnsigned;
    MuxRole role : 2 = MuxRole::kPlain;
    bool bigEndian : 1 = false;
    bool floatSigned : 1 = false;  // a float signal the file gives with '-'
    // False when the field cannot be read as written (see the diagnostics);
    // such a signal is never carried.
    bool decodable : 1 = false;

    // Position of the least significant bit; of a signal that cannot be
    // decoded, the start bit.
    uint32_t lsbBit() const noexcept { return decodable ? 8u * field.anchor + field.shift : startBit; }
};
static_assert(sizeof(Signal) <= 112);

}  // namespace canxlate::db
