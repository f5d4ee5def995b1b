// What decoding needs of a signal, prepared once when the database is built:
// a field read from one unaligned 8-byte load, its number conversion, scaling
// and limits. A message's codecs lie side by side in a few cache lines.
#pragma once

#include <cstddef>
#include <cstdint>

namespace canxlate::db {

// FieldCodec::flags. The byte order is bit 0, which of the two words of
// a classic frame; the number kind is two bits.
inline constexpr uint8_t kBigEndianWindow = 1;  // the window read big-endian
inline constexpr uint8_t kIntegerField = 0;     // signed, or unsigned of up to 63 bits: exact through int64_t
inline constexpr uint8_t kUnsigned64Field = 2;
inline constexpr uint8_t kSingleField = 4;
inline constexpr uint8_t kDoubleField = 6;
inline constexpr uint8_t kKindBits = 6;
inline constexpr uint8_t kHasValueTable = 16;
inline constexpr uint8_t kInvertedLimits = 32;  // minimum > maximum

// 32 bytes: two codecs to a cache line. The limits lie apart, as decoding
// without clamping never reads them.
struct FieldCodec {
    double factor;
    double offset;
    // The field is ((window << leftShift) >> rightShift) & mask, the second
    // shift arithmetic: mask keeps length bits, or all for a signed field.
    uint64_t mask;
    uint32_t slot;       // the signal's index in its message
    uint8_t loadOffset;  // first byte of the 8-byte window holding the field
    uint8_t leftShift;
    uint8_t rightShift;  // 64 - length
    uint8_t flags;
};
static_assert(sizeof(FieldCodec) == 32);

// A codec's limits: -inf and +inf for a signal without limits, so that
// clamping needs no test.
struct FieldLimits {
    double minimum;
    double maximum;
};

// A field's value-table texts by position, for a table whose values lie
// close together: texts[raw - lowest] when raw - lowest < count. Without texts
// the signal's table is searched.
struct FieldTexts {
    const char* const* texts;
    uint64_t lowest;
    uint64_t count;
};

struct Message;

// Where a message's codecs are and how to use them: 32 bytes, two to a cache
// line, as a database keeps one for each of its messages.
struct PlanView {
    // Longest run of leading integer fields a plan gives as such; a longer
    // run's rest takes the loop that tests the kind, with the same values.
    static constexpr uint32_t kMostIntegers = (uint32_t{1} << 23) - 1;

    const Message* message;    // whose plan this is
    const FieldCodec* codecs;  // their limits follow them (when limited), then their texts
    uint32_t count;
    uint32_t unconditional;  // how many codecs lead without a switch
    uint32_t signalCount;
    // The unconditional codecs begin with the integer fields, up to
    // integers: a loop over them needs no test of kind.
    uint32_t integers : 23;
    // Whether some codec has limits. A plan without keeps none: clamping to
    // -inf..+inf changes no value, so it decodes as without clamping.
    uint32_t limited : 1;
    // Frames of at least this many bytes take the fast path (every decodable
    // field inside them); 0xFF when some field needs the byte-wise reader.
    uint32_t fastLength : 8;

    // limits()[i] of codecs[i], of a limited plan.
    const FieldLimits* limits() const noexcept { return reinterpret_cast<const FieldLimits*>(codecs + count); }
    // texts()[i] of codecs[i], for a codec with kHasValueTable: the plan of
    // such a codec has texts.
    const FieldTexts* texts() const noexcept {
        return limited ? reinterpret_cast<const FieldTexts*>(limits() + count)
                       : reinterpret_cast<const FieldTexts*>(codecs + count);
    }
};
static_assert(sizeof(PlanView) <= 32);

}  // namespace canxlate::db
