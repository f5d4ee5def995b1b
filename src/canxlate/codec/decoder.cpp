#include "canxlate/codec/decoder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <type_traits>

#include "shared/payload/payload_words.h"

namespace canxlate::db {
namespace {

// The field from the window it lies in: shifted to the top of a word, back
// down (sign-extending), and masked unless signed.
inline uint64_t fieldOf(const FieldCodec& codec, uint64_t window, uint8_t leftShift) noexcept {
    return static_cast<uint64_t>(static_cast<int64_t>(window << leftShift) >> codec.rightShift) & codec.mask;
}

// A field read byte-wise.
inline uint64_t extend(const FieldCodec& codec, uint64_t raw) noexcept { return fieldOf(codec, raw, codec.rightShift); }

// The windows of a classic frame: its eight bytes in both byte orders.
struct ClassicWindows {
    uint64_t words[2];
    explicit ClassicWindows(const uint8_t* payload) noexcept
        : words{bytewise(payload), byteSwap64(bytewise(payload))} {}
    // Byte by byte: a payload that its caller has just written byte-wise
    // reaches the loads without waiting for the stores to land.
    static uint64_t bytewise(const uint8_t* payload) noexcept {
        uint64_t word = 0;
        for (int i = 0; i < 8; ++i) word |= uint64_t{payload[i]} << (8 * i);
        return word;
    }
    // A select rather than an indexed load: the words stay in registers.
    uint64_t of(const FieldCodec& codec) const noexcept {
        return (codec.flags & kBigEndianWindow) != 0 ? words[1] : words[0];
    }
};

// The windows of a longer frame, loaded field by field.
struct LongWindows {
    const uint8_t* payload;
    uint64_t of(const FieldCodec& codec) const noexcept {
        const uint64_t little = loadLittleEndian(payload + codec.loadOffset);
        return (codec.flags & kBigEndianWindow) != 0 ? byteSwap64(little) : little;
    }
};

template <typename Windows>
inline uint64_t windowRaw(const FieldCodec& codec, const Windows& windows) noexcept {
    return fieldOf(codec, windows.of(codec), codec.leftShift);
}

double floatingOrWide(const FieldCodec& codec, uint64_t raw) noexcept {
    switch (codec.flags & kKindBits) {
        case kUnsigned64Field: return static_cast<double>(raw);
        case kSingleField: return static_cast<double>(std::bit_cast<float>(static_cast<uint32_t>(raw)));
        default: return std::bit_cast<double>(raw);
    }
}

inline double numberOf(const FieldCodec& codec, uint64_t raw) noexcept {
    if ((codec.flags & kKindBits) == kIntegerField) [[likely]]
        return static_cast<double>(static_cast<int64_t>(raw));
    return floatingOrWide(codec, raw);
}

// The 16-function library's clamping: minimum first; a NaN passes both.
double clampInverted(const FieldCodec& codec, double physical, int32_t& clamped) noexcept {
    clamped = physical < codec.minimum || physical > codec.maximum;
    return physical < codec.minimum ? codec.minimum : physical > codec.maximum ? codec.maximum : physical;
}

// number * factor + offset; with Clamp, limited to minimum..maximum.
template <bool Clamp>
inline double scaled(const FieldCodec& codec, double number, int32_t& clamped) noexcept {
    const double physical = number * codec.factor + codec.offset;
    if constexpr (!Clamp) {
        clamped = 0;
        return physical;
    }
    if ((codec.flags & kInvertedLimits) != 0) [[unlikely]]
        return clampInverted(codec, physical, clamped);
    // With minimum <= maximum this is the same, and branch-free; an unclamped
    // value (NaN included) comes back bit for bit.
    const double below = codec.maximum < physical ? codec.maximum : physical;
    const double limited = codec.minimum > below ? codec.minimum : below;
    clamped = std::bit_cast<uint64_t>(limited) != std::bit_cast<uint64_t>(physical);
    return limited;
}

template <bool Clamp>
inline double physicalOf(const FieldCodec& codec, uint64_t raw, int32_t& clamped) noexcept {
    return scaled<Clamp>(codec, numberOf(codec, raw), clamped);
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
inline void decodeWindows(const PlanView& plan, const Message& message, const Windows& windows, const uint8_t* payload,
                          size_t length, Out& out) noexcept {
    // Locals, so that the stores of the values do not reload them.
    const FieldCodec* const codecs = plan.codecs;
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
            const double physical = scaled<Clamp>(codec, number, clamped);
            out.put(codec, raw, physical, clamped);
        }
    }
    for (; i < unconditional; ++i) {
        const FieldCodec& codec = codecs[i];
        const uint64_t raw = windowRaw(codec, windows);
        const double physical = physicalOf<Clamp>(codec, raw, clamped);
        out.put(codec, raw, physical, clamped);
    }
    for (uint32_t i = unconditional; i < count; ++i) {
        const FieldCodec& codec = codecs[i];
        if (!switchAllows(message, codec.slot, payload, length, out)) continue;
        const uint64_t raw = windowRaw(codec, windows);
        const double physical = physicalOf<Clamp>(codec, raw, clamped);
        out.put(codec, raw, physical, clamped);
    }
}

// Decodes one frame into Out: put(codec, raw, physical, clamped), absent(slot)
// and has(slot), whether a slot was put. Out has marked every slot absent
// unless the plan covers all signals unconditionally.
template <bool Clamp, typename Out>
inline void decodeFrame(const PlanView& plan, const Message& message, const uint8_t* payload, size_t length,
                        Out& out) noexcept {
    if (length >= plan.fastLength) {
        if (plan.fastLength == 8) {
            decodeWindows<Clamp>(plan, message, ClassicWindows(payload), payload, length, out);
        } else {
            decodeWindows<Clamp>(plan, message, LongWindows{payload}, payload, length, out);
        }
        return;
    }
    // A short frame: field by field, each only if the frame holds it.
    const FieldCodec* const codecs = plan.codecs;
    int32_t clamped;
    for (uint32_t i = 0; i < plan.count; ++i) {
        const FieldCodec& codec = codecs[i];
        const BitField& field = message.signals[codec.slot].field;
        if (field.endByte > length) {
            out.absent(codec.slot);
            continue;
        }
        if (i >= plan.unconditional && !switchAllows(message, codec.slot, payload, length, out)) continue;
        const uint64_t raw = extend(codec, readField(field, payload, length));
        const double physical = physicalOf<Clamp>(codec, raw, clamped);
        out.put(codec, raw, physical, clamped);
    }
}

struct ValueOut {
    const Message& message;
    cxl_value* values;

    void put(const FieldCodec& codec, uint64_t raw, double physical, int32_t clamped) const noexcept {
        const char* text = (codec.flags & kHasValueTable) != 0 ? valueText(message.signals[codec.slot], raw) : nullptr;
        cxl_value& value = values[codec.slot];
        // present and clamped side by side, which the compiler stores as one word.
        const int32_t flags[2] = {1, clamped};
        static_assert(offsetof(cxl_value, clamped) == offsetof(cxl_value, present) + sizeof(int32_t));
        std::memcpy(reinterpret_cast<char*>(&value) + offsetof(cxl_value, present), flags, sizeof flags);
        value.raw = raw;
        value.physical = physical;
        value.text = text;
    }
    void absent(uint32_t slot) const noexcept { values[slot] = cxl_value{0, 0, 0, 0.0, nullptr}; }
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
    const Message& message;
    double* physical;
    uint8_t* present;
    const char** text;

    void put(const FieldCodec& codec, uint64_t raw, double value, int32_t) const noexcept {
        physical[codec.slot] = value;
        present[codec.slot] = 1;
        if constexpr (Texts)
            text[codec.slot] =
                (codec.flags & kHasValueTable) != 0 ? valueText(message.signals[codec.slot], raw) : nullptr;
    }
    void absent(size_t slot) const noexcept {
        physical[slot] = std::numeric_limits<double>::quiet_NaN();
        present[slot] = 0;
        if constexpr (Texts) text[slot] = nullptr;
    }
    bool has(size_t slot) const noexcept { return present[slot] != 0; }
};

// The bytes of frame f that decoding reads.
inline size_t frameLength(const cxl_batch& b, size_t f) noexcept {
    const size_t length = b.lengths != nullptr ? std::min<size_t>(b.lengths[f], b.payload_stride) : b.payload_stride;
    return std::min<size_t>(length, kMaxPayloadBytes);
}

inline bool frameExtended(const cxl_batch& b, size_t f) noexcept {
    return b.extended != nullptr ? b.extended[f] != 0 : b.ids[f] > 0x7FF;
}

template <bool Clamp>
void decodeMessageWith(const Message& message, const uint8_t* payload, size_t length, cxl_value* values) noexcept {
    const PlanView plan = message.planView();
    ValueOut out{message, values};
    if (plan.unconditional != plan.signalCount)
        for (uint32_t s = 0; s < plan.signalCount; ++s) out.absent(s);
    decodeFrame<Clamp>(plan, message, payload, length, out);
}

template <bool Clamp>
void decodeBatchWith(const Database& database, const cxl_batch& b) noexcept {
    const size_t columns = database.largestSignalCount;
    for (size_t f = 0; f < b.frame_count; ++f) {
        if (b.timestamps != nullptr && b.timestamps_out != nullptr) b.timestamps_out[f] = b.timestamps[f];
        ColumnOut out{b.physical + f, b.present + f, b.column_stride};
        const MessageEntry* entry = database.findEntry(b.ids[f], frameExtended(b, f));
        if (entry == nullptr) {
            b.message_index[f] = -1;
            for (size_t s = 0; s < columns; ++s) out.absent(s);
            continue;
        }
        b.message_index[f] = static_cast<int32_t>(entry->index);
        const PlanView& plan = entry->plan;
        for (size_t s = plan.unconditional == plan.signalCount ? plan.signalCount : 0; s < columns; ++s) out.absent(s);
        decodeFrame<Clamp>(plan, database.messages[entry->index], b.payloads + f * b.payload_stride, frameLength(b, f),
                           out);
    }
}

template <bool Clamp, bool Texts>
size_t decodePackedWith(const Database& database, const cxl_batch& b, const cxl_packed& p) noexcept {
    size_t at = 0;
    bool fits = true;
    if (b.timestamps != nullptr && b.timestamps_out != nullptr)
        std::copy(b.timestamps, b.timestamps + b.frame_count, b.timestamps_out);
    for (size_t f = 0; f < b.frame_count; ++f) {
        if (p.first != nullptr) p.first[f] = at;
        const MessageEntry* entry = database.findEntry(b.ids[f], frameExtended(b, f));
        if (entry == nullptr) {
            b.message_index[f] = -1;
            continue;
        }
        b.message_index[f] = static_cast<int32_t>(entry->index);
        const PlanView& plan = entry->plan;
        fits = fits && plan.signalCount <= p.capacity - at;
        if (fits) {
            const Message& message = database.messages[entry->index];
            const uint8_t* payload = b.payloads + f * b.payload_stride;
            const size_t length = frameLength(b, f);
            PackedOut<Texts> out{message, p.physical + at, p.present + at, Texts ? p.text + at : nullptr};
            if (plan.unconditional != plan.signalCount)
                for (size_t s = 0; s < plan.signalCount; ++s) out.absent(s);
            decodeFrame<Clamp>(plan, message, payload, length, out);
        }
        at += plan.signalCount;
    }
    return at;
}

}  // namespace

size_t decodePacked(const Database& database, const cxl_batch& batch, const cxl_packed& packed, bool clamp) noexcept {
    if (packed.text != nullptr)
        return clamp ? decodePackedWith<true, true>(database, batch, packed)
                     : decodePackedWith<false, true>(database, batch, packed);
    return clamp ? decodePackedWith<true, false>(database, batch, packed)
                 : decodePackedWith<false, false>(database, batch, packed);
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

void decodeMessage(const Message& message, const uint8_t* payload, size_t length, bool clamp,
                   cxl_value* values) noexcept {
    if (clamp) {
        decodeMessageWith<true>(message, payload, length, values);
    } else {
        decodeMessageWith<false>(message, payload, length, values);
    }
}

void decodeBatch(const Database& database, const cxl_batch& batch, bool clamp) noexcept {
    if (clamp) {
        decodeBatchWith<true>(database, batch);
    } else {
        decodeBatchWith<false>(database, batch);
    }
}

}  // namespace canxlate::db
