#include "canxlate/codec/decoder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <type_traits>

#include "shared/payload/payload_words.h"

// The decoding loops are compiled twice on x86-64: for any processor and for
// those with BMI2, whose shifts by a register take one micro-op rather than
// two or three; the processor chooses once. Both give the same bits.
#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__) && !defined(__BMI2__)
#  define CANXLATE_DECODE_BMI2 1
#endif
// Inlined whole into each of the two, so that the loops take the entry's
// instructions.
#define CANXLATE_LOOP_INLINE [[gnu::always_inline]] inline

namespace canxlate::db {
namespace {

// The field from the window it lies in: shifted to the top of a word, back
// down (sign-extending), and masked unless signed.
CANXLATE_LOOP_INLINE uint64_t fieldOf(const FieldCodec& codec, uint64_t window, uint8_t leftShift) noexcept {
    return static_cast<uint64_t>(static_cast<int64_t>(window << leftShift) >> codec.rightShift) & codec.mask;
}

// A field read byte-wise.
CANXLATE_LOOP_INLINE uint64_t extend(const FieldCodec& codec, uint64_t raw) noexcept {
    return fieldOf(codec, raw, codec.rightShift);
}

// The windows of a classic frame: its eight bytes in both byte orders.
struct ClassicWindows {
    uint64_t words[2];
    CANXLATE_LOOP_INLINE explicit ClassicWindows(const uint8_t* payload) noexcept
        : words{bytewise(payload), byteSwap64(bytewise(payload))} {}
    // Byte by byte: a payload that its caller has just written byte-wise
    // reaches the loads without waiting for the stores to land.
    CANXLATE_LOOP_INLINE static uint64_t bytewise(const uint8_t* payload) noexcept {
        uint64_t word = 0;
        for (int i = 0; i < 8; ++i) word |= uint64_t{payload[i]} << (8 * i);
        return word;
    }
    // A select rather than an indexed load: the words stay in registers.
    CANXLATE_LOOP_INLINE uint64_t of(const FieldCodec& codec) const noexcept {
        return (codec.flags & kBigEndianWindow) != 0 ? words[1] : words[0];
    }
};

// The windows of a longer frame, loaded field by field.
struct LongWindows {
    const uint8_t* payload;
    CANXLATE_LOOP_INLINE uint64_t of(const FieldCodec& codec) const noexcept {
        const uint64_t little = loadLittleEndian(payload + codec.loadOffset);
        return (codec.flags & kBigEndianWindow) != 0 ? byteSwap64(little) : little;
    }
};

template <typename Windows>
CANXLATE_LOOP_INLINE uint64_t windowRaw(const FieldCodec& codec, const Windows& windows) noexcept {
    return fieldOf(codec, windows.of(codec), codec.leftShift);
}

double floatingOrWide(const FieldCodec& codec, uint64_t raw) noexcept {
    switch (codec.flags & kKindBits) {
        case kUnsigned64Field: return static_cast<double>(raw);
        case kSingleField: return static_cast<double>(std::bit_cast<float>(static_cast<uint32_t>(raw)));
        default: return std::bit_cast<double>(raw);
    }
}

CANXLATE_LOOP_INLINE double numberOf(const FieldCodec& codec, uint64_t raw) noexcept {
    if ((codec.flags & kKindBits) == kIntegerField) [[likely]]
        return static_cast<double>(static_cast<int64_t>(raw));
    return floatingOrWide(codec, raw);
}

// The 16-function library's clamping: minimum first; a NaN passes both.
double clampInverted(const FieldLimits& limits, double physical, int32_t& clamped) noexcept {
    clamped = physical < limits.minimum || physical > limits.maximum;
    return physical < limits.minimum ? limits.minimum : physical > limits.maximum ? limits.maximum : physical;
}

// number * factor + offset; with Clamp, limited to minimum..maximum.
template <bool Clamp>
CANXLATE_LOOP_INLINE double scaled(const FieldCodec& codec, const FieldLimits& limits, double number,
                                   int32_t& clamped) noexcept {
    const double physical = number * codec.factor + codec.offset;
    if constexpr (!Clamp) {
        clamped = 0;
        return physical;
    }
    if ((codec.flags & kInvertedLimits) != 0) [[unlikely]]
        return clampInverted(limits, physical, clamped);
    // With minimum <= maximum this is the same, and branch-free; an unclamped
    // value (NaN included) comes back bit for bit.
    const double below = limits.maximum < physical ? limits.maximum : physical;
    const double limited = limits.minimum > below ? limits.minimum : below;
    clamped = std::bit_cast<uint64_t>(limited) != std::bit_cast<uint64_t>(physical);
    return limited;
}

template <bool Clamp>
CANXLATE_LOOP_INLINE double physicalOf(const FieldCodec& codec, const FieldLimits& limits, uint64_t raw,
                                       int32_t& clamped) noexcept {
    return scaled<Clamp>(codec, limits, numberOf(codec, raw), clamped);
}

// Whether the switch of a multiplexed signal is present with one of the
// signal's values; multiplexed messages are read field by field here.
template <typename Out>
inline bool switchAllows(const Message& message, uint32_t slot, const uint8_t* payload, size_t length,
                         const Out& out) noexcept {
    const Signal& signal = message.signals[slot];
    if (!out.has(signal.switchIndex)) return false;
    const Signal& switchSignal = message.signals[signal.switchIndex];
    uint64_t raw = readField(switchSignal.field, payload, length);
    if (switchSignal.type == ValueType::kSigned) {
        const int shift = 64 - static_cast<int>(switchSignal.length);
        raw = static_cast<uint64_t>(static_cast<int64_t>(raw << shift) >> shift);
    }
    return inRanges(signal.muxRanges.carried(), raw);
}

template <bool Clamp, typename Out, typename Windows>
CANXLATE_LOOP_INLINE void decodeWindows(const PlanView& plan, const Windows& windows, const uint8_t* payload,
                                        size_t length, Out& out) noexcept {
    // Locals, so that the stores of the values do not reload them.
    const FieldCodec* const codecs = plan.codecs;
    const FieldLimits* const limits = plan.limits();
    const uint32_t unconditional = plan.unconditional;
    const uint32_t count = plan.count;
    int32_t clamped;
    uint32_t i = 0;
    if constexpr (std::is_same_v<Windows, ClassicWindows>) {
        // Integer fields: no test of kind; the window is a select, not a
        // loop per byte order, whose ends a mix of messages would mispredict.
        for (const uint32_t end = plan.integers; i < end; ++i) {
            const FieldCodec& codec = codecs[i];
            const uint64_t raw = windowRaw(codec, windows);
            const double number = static_cast<double>(static_cast<int64_t>(raw));
            const double physical = scaled<Clamp>(codec, limits[i], number, clamped);
            out.put(codec, raw, physical, clamped);
        }
    }
    for (; i < unconditional; ++i) {
        const FieldCodec& codec = codecs[i];
        const uint64_t raw = windowRaw(codec, windows);
        const double physical = physicalOf<Clamp>(codec, limits[i], raw, clamped);
        out.put(codec, raw, physical, clamped);
    }
    for (uint32_t i = unconditional; i < count; ++i) {
        const FieldCodec& codec = codecs[i];
        if (!switchAllows(*plan.message, codec.slot, payload, length, out)) continue;
        const uint64_t raw = windowRaw(codec, windows);
        const double physical = physicalOf<Clamp>(codec, limits[i], raw, clamped);
        out.put(codec, raw, physical, clamped);
    }
}

// Decodes one frame into Out: put(codec, raw, physical, clamped), absent(slot)
// and has(slot), whether a slot was put. Out has marked every slot absent
// unless the plan covers all signals unconditionally.
template <bool Clamp, typename Out>
CANXLATE_LOOP_INLINE void decodeFrame(const PlanView& plan, const uint8_t* payload, size_t length, Out& out) noexcept {
    if constexpr (Clamp) {
        if (!plan.limited) {
            decodeFrame<false>(plan, payload, length, out);
            return;
        }
    }
    if (length >= plan.fastLength) [[likely]] {
        if (plan.fastLength == 8) {
            decodeWindows<Clamp>(plan, ClassicWindows(payload), payload, length, out);
        } else {
            decodeWindows<Clamp>(plan, LongWindows{payload}, payload, length, out);
        }
        return;
    }
    // A short frame: field by field, each only if the frame holds it.
    const Message& message = *plan.message;
    int32_t clamped;
    for (uint32_t i = 0; i < plan.count; ++i) {
        const FieldCodec& codec = plan.codecs[i];
        const BitField& field = message.signals[codec.slot].field;
        if (field.endByte > length) {
            out.absent(codec.slot);
            continue;
        }
        if (i >= plan.unconditional && !switchAllows(message, codec.slot, payload, length, out)) continue;
        const uint64_t raw = extend(codec, readField(field, payload, length));
        const double physical = physicalOf<Clamp>(codec, plan.limits()[i], raw, clamped);
        out.put(codec, raw, physical, clamped);
    }
}

// The value-table text of codecs[i]'s raw value, or null.
CANXLATE_LOOP_INLINE const char* textOf(const PlanView& plan, const FieldCodec& codec, uint64_t raw) noexcept {
    if ((codec.flags & kHasValueTable) == 0) return nullptr;
    const FieldTexts& texts = plan.texts()[&codec - plan.codecs];
    if (texts.texts == nullptr) return valueText(plan.message->signals[codec.slot], raw);
    const uint64_t at = raw - texts.lowest;
    return at < texts.count ? texts.texts[at] : nullptr;
}

struct ValueOut {
    const PlanView& plan;
    DecodedValue* values;

    void put(const FieldCodec& codec, uint64_t raw, double physical, int32_t clamped) const noexcept {
        values[codec.slot] = DecodedValue{1, clamped, raw, physical, textOf(plan, codec, raw)};
    }
    void absent(uint32_t slot) const noexcept { values[slot] = DecodedValue{0, 0, 0, 0.0, nullptr}; }
    bool has(uint32_t slot) const noexcept { return values[slot].present != 0; }
};

// One frame's row across the columns of a batch.
struct ColumnOut {
    double* physical;
    uint8_t* present;
    size_t stride;

    void put(const FieldCodec& codec, uint64_t, double value, int32_t) const noexcept {
        physical[codec.slot * stride] = value;
        present[codec.slot * stride] = 1;
    }
    void absent(size_t slot) const noexcept {
        physical[slot * stride] = std::numeric_limits<double>::quiet_NaN();
        present[slot * stride] = 0;
    }
    bool has(size_t slot) const noexcept { return present[slot * stride] != 0; }
};

// One frame's values side by side, with their value-table texts when Texts.
template <bool Texts>
struct PackedOut {
    const PlanView& plan;
    double* physical;
    uint8_t* present;
    const char** text;

    void put(const FieldCodec& codec, uint64_t raw, double value, int32_t) const noexcept {
        physical[codec.slot] = value;
        present[codec.slot] = 1;
        if constexpr (Texts) text[codec.slot] = textOf(plan, codec, raw);
    }
    void absent(size_t slot) const noexcept {
        physical[slot] = std::numeric_limits<double>::quiet_NaN();
        present[slot] = 0;
        if constexpr (Texts) text[slot] = nullptr;
    }
    bool has(size_t slot) const noexcept { return present[slot] != 0; }
};

// The bytes of frame f that decoding reads.
CANXLATE_LOOP_INLINE size_t frameLength(const FrameBatch& b, size_t f) noexcept {
    const size_t length = b.lengths != nullptr ? std::min<size_t>(b.lengths[f], b.payloadStride) : b.payloadStride;
    return std::min<size_t>(length, kMaxPayloadBytes);
}

CANXLATE_LOOP_INLINE bool frameExtended(const FrameBatch& b, size_t f) noexcept {
    return b.extended != nullptr ? b.extended[f] != 0 : b.ids[f] > 0x7FF;
}

template <bool Clamp>
CANXLATE_LOOP_INLINE void decodeMessageWith(const Message& message, const uint8_t* payload, size_t length,
                                            DecodedValue* values) noexcept {
    const PlanView& plan = *message.plan;
    ValueOut out{plan, values};
    if (plan.unconditional != plan.signalCount)
        for (uint32_t s = 0; s < plan.signalCount; ++s) out.absent(s);
    decodeFrame<Clamp>(plan, payload, length, out);
}

// Frames [first, first + count) into columns at the given stride, each
// cell written: those of signals a frame lacks absent.
template <bool Clamp>
CANXLATE_LOOP_INLINE void decodeColumns(const Database& database, const FrameBatch& b, size_t first, size_t count,
                                        const ColumnOutput& c) noexcept {
    if (count == 0) return;
    const size_t columns = database.largestSignalCount;
    const size_t end = first + count;
    const MessageEntry* const entries = database.entries();
    const MessageEntry* next = database.findEntry(b.ids[first], frameExtended(b, first));
    for (size_t f = first; f < end; ++f) {
        ColumnOut out{c.physical + (f - first), c.present + (f - first), c.columnStride};
        const MessageEntry* entry = next;
        if (f + 1 < end) next = database.findEntry(b.ids[f + 1], frameExtended(b, f + 1));
        if (entry == nullptr) {
            b.messageIndex[f] = -1;
            for (size_t s = 0; s < columns; ++s) out.absent(s);
            continue;
        }
        b.messageIndex[f] = static_cast<int32_t>(entry - entries);
        const PlanView& plan = entry->plan;
        for (size_t s = plan.unconditional == plan.signalCount ? plan.signalCount : 0; s < columns; ++s) out.absent(s);
        decodeFrame<Clamp>(plan, b.payloads + f * b.payloadStride, frameLength(b, f), out);
    }
}

// Cells of the block that columns pass through: small enough for the first
// level of cache, where the host's own stride could put every column of a
// frame in one cache set.
constexpr size_t kBlockCells = 2048;
constexpr size_t kMostBlockFrames = 64;

template <bool Clamp>
CANXLATE_LOOP_INLINE void decodeBatchWith(const Database& database, const FrameBatch& b,
                                          const ColumnOutput& c) noexcept {
    if (b.timestamps != nullptr && b.timestampsOut != nullptr)
        std::copy(b.timestamps, b.timestamps + b.frameCount, b.timestampsOut);
    const size_t columns = database.largestSignalCount;
    const size_t blockFrames = std::min(kMostBlockFrames, kBlockCells / std::max<size_t>(columns, 1));
    if (blockFrames < 8) {
        decodeColumns<Clamp>(database, b, 0, b.frameCount, c);
        return;
    }
    double physical[kBlockCells];
    uint8_t present[kBlockCells];
    for (size_t first = 0; first < b.frameCount; first += blockFrames) {
        const size_t count = std::min(blockFrames, b.frameCount - first);
        decodeColumns<Clamp>(database, b, first, count, ColumnOutput{blockFrames, physical, present});
        for (size_t s = 0; s < columns; ++s) {
            std::memcpy(c.physical + s * c.columnStride + first, physical + s * blockFrames, count * sizeof(double));
            std::memcpy(c.present + s * c.columnStride + first, present + s * blockFrames, count);
        }
    }
}

template <bool Clamp, bool Texts>
CANXLATE_LOOP_INLINE size_t decodePackedWith(const Database& database, const FrameBatch& b,
                                             const PackedOutput& p) noexcept {
    size_t at = 0;
    bool fits = true;
    if (b.frameCount == 0) return 0;
    if (b.timestamps != nullptr && b.timestampsOut != nullptr)
        std::copy(b.timestamps, b.timestamps + b.frameCount, b.timestampsOut);
    // The next frame's message is looked up before this frame is decoded: the
    // end of a frame's loop is rarely foreseen, and what comes after it restarts.
    const MessageEntry* const entries = database.entries();
    const MessageEntry* next = database.findEntry(b.ids[0], frameExtended(b, 0));
    for (size_t f = 0; f < b.frameCount; ++f) {
        if (p.first != nullptr) p.first[f] = at;
        const MessageEntry* entry = next;
        if (f + 1 < b.frameCount) next = database.findEntry(b.ids[f + 1], frameExtended(b, f + 1));
        if (entry == nullptr) {
            b.messageIndex[f] = -1;
            continue;
        }
        b.messageIndex[f] = static_cast<int32_t>(entry - entries);
        const PlanView& plan = entry->plan;
        fits = fits && plan.signalCount <= p.capacity - at;
        if (fits) {
            const uint8_t* payload = b.payloads + f * b.payloadStride;
            const size_t length = frameLength(b, f);
            const char** text = Texts ? p.text + at : nullptr;
            PackedOut<Texts> out{plan, p.physical + at, p.present + at, text};
            if (plan.unconditional != plan.signalCount)
                for (size_t s = 0; s < plan.signalCount; ++s) out.absent(s);
            decodeFrame<Clamp>(plan, payload, length, out);
        }
        at += plan.signalCount;
    }
    return at;
}

CANXLATE_LOOP_INLINE size_t decodePackedAs(const Database& database, const FrameBatch& batch,
                                           const PackedOutput& packed, bool clamp) noexcept {
    if (packed.text != nullptr)
        return clamp ? decodePackedWith<true, true>(database, batch, packed)
                     : decodePackedWith<false, true>(database, batch, packed);
    return clamp ? decodePackedWith<true, false>(database, batch, packed)
                 : decodePackedWith<false, false>(database, batch, packed);
}

CANXLATE_LOOP_INLINE void decodeMessageAs(const Message& message, const uint8_t* payload, size_t length, bool clamp,
                                          DecodedValue* values) noexcept {
    if (clamp) {
        decodeMessageWith<true>(message, payload, length, values);
    } else {
        decodeMessageWith<false>(message, payload, length, values);
    }
}

CANXLATE_LOOP_INLINE void decodeBatchAs(const Database& database, const FrameBatch& batch, const ColumnOutput& columns,
                                        bool clamp) noexcept {
    if (clamp) {
        decodeBatchWith<true>(database, batch, columns);
    } else {
        decodeBatchWith<false>(database, batch, columns);
    }
}

#ifdef CANXLATE_DECODE_BMI2
[[gnu::target("bmi2")]] size_t decodePackedBmi2(const Database& database, const FrameBatch& batch,
                                                const PackedOutput& packed, bool clamp) noexcept {
    return decodePackedAs(database, batch, packed, clamp);
}

[[gnu::target("bmi2")]] void decodeMessageBmi2(const Message& message, const uint8_t* payload, size_t length,
                                               bool clamp, DecodedValue* values) noexcept {
    decodeMessageAs(message, payload, length, clamp, values);
}

[[gnu::target("bmi2")]] void decodeBatchBmi2(const Database& database, const FrameBatch& batch,
                                             const ColumnOutput& columns, bool clamp) noexcept {
    decodeBatchAs(database, batch, columns, clamp);
}

bool processorHasBmi2() noexcept {
    __builtin_cpu_init();
    return __builtin_cpu_supports("bmi2");
}

const bool kBmi2 = processorHasBmi2();
#endif

}  // namespace

size_t decodePacked(const Database& database, const FrameBatch& batch, const PackedOutput& packed,
                    bool clamp) noexcept {
#ifdef CANXLATE_DECODE_BMI2
    if (kBmi2) return decodePackedBmi2(database, batch, packed, clamp);
#endif
    return decodePackedAs(database, batch, packed, clamp);
}

void decodeMessage(const Message& message, const uint8_t* payload, size_t length, bool clamp,
                   DecodedValue* values) noexcept {
#ifdef CANXLATE_DECODE_BMI2
    if (kBmi2) return decodeMessageBmi2(message, payload, length, clamp, values);
#endif
    decodeMessageAs(message, payload, length, clamp, values);
}

void decodeBatch(const Database& database, const FrameBatch& batch, const ColumnOutput& columns, bool clamp) noexcept {
#ifdef CANXLATE_DECODE_BMI2
    if (kBmi2) return decodeBatchBmi2(database, batch, columns, clamp);
#endif
    decodeBatchAs(database, batch, columns, clamp);
}

const char* valueText(const Signal& signal, uint64_t raw) noexcept {
    if (signal.type == ValueType::kSingle || signal.type == ValueType::kDouble) {
        const double number = signal.type == ValueType::kSingle
                                  ? static_cast<double>(std::bit_cast<float>(static_cast<uint32_t>(raw)))
                                  : std::bit_cast<double>(raw);
        if (!(std::fabs(number) < 0x1p63) || std::trunc(number) != number) return nullptr;
        return signal.details->values.find(static_cast<int64_t>(number));
    }
    return signal.details->values.find(static_cast<int64_t>(raw));
}

}  // namespace canxlate::db
