#include "canxlate/codec/decoder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

#include "shared/payload/payload_words.h"

namespace canxlate::db {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

FieldCodec makeCodec(const Signal& signal, uint32_t slot, uint32_t fastLength) {
    FieldCodec codec{};
    codec.factor = signal.factor;
    codec.offset = signal.offset;
    const bool limits = !(signal.minimum == 0.0 && signal.maximum == 0.0);
    codec.minimum = limits ? signal.minimum : -kInfinity;
    codec.maximum = limits ? signal.maximum : kInfinity;
    if (codec.minimum > codec.maximum) codec.flags |= kInvertedLimits;
    const BitField& field = signal.field;
    uint32_t shift;  // of the least significant bit in the window
    if (field.bigEndian) {
        // The anchor byte is the window's last: its bits are the word's lowest.
        codec.loadOffset = static_cast<uint8_t>(field.anchor >= 7 ? field.anchor - 7 : 0);
        shift = 8 * (7 - (field.anchor - codec.loadOffset)) + field.shift;
        codec.flags |= kBigEndianWindow;
    } else {
        codec.loadOffset = static_cast<uint8_t>(std::min<uint32_t>(field.anchor, fastLength - 8));
        shift = 8 * (field.anchor - codec.loadOffset) + field.shift;
    }
    codec.leftShift = static_cast<uint8_t>(64 - shift - signal.length);
    codec.rightShift = static_cast<uint8_t>(64 - signal.length);
    switch (signal.type) {
        case ValueType::kSigned: codec.flags |= kIntegerField | kSignedField; break;
        case ValueType::kUnsigned: codec.flags |= signal.length == 64 ? kUnsigned64Field : kIntegerField; break;
        case ValueType::kSingle: codec.flags |= kSingleField; break;
        case ValueType::kDouble: codec.flags |= kDoubleField; break;
    }
    if (!signal.values.empty()) codec.flags |= kHasValueTable;
    codec.slot = slot;
    return codec;
}

// The field from its bits shifted to the top of a word, sign-extended when
// signed.
inline uint64_t fromTop(const FieldCodec& codec, uint64_t top) noexcept {
    const uint64_t extended = static_cast<uint64_t>(static_cast<int64_t>(top) >> codec.rightShift);
    return (codec.flags & kSignedField) != 0 ? extended : top >> codec.rightShift;
}

// A field read byte-wise.
inline uint64_t extend(const FieldCodec& codec, uint64_t raw) noexcept {
    return fromTop(codec, raw << codec.rightShift);
}

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
    uint64_t of(const FieldCodec& codec) const noexcept { return words[codec.flags & kBigEndianWindow]; }
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
    return fromTop(codec, windows.of(codec) << codec.leftShift);
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

// raw * factor + offset; with Clamp, limited to minimum..maximum.
template <bool Clamp>
inline double physicalOf(const FieldCodec& codec, uint64_t raw, int32_t& clamped) noexcept {
    const double physical = numberOf(codec, raw) * codec.factor + codec.offset;
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
    return inRanges(signal.muxRanges, raw);
}

template <bool Clamp, typename Out, typename Windows>
inline void decodeWindows(const PlanView& plan, const Message& message, const Windows& windows, const uint8_t* payload,
                          size_t length, Out& out) noexcept {
    const FieldCodec* const codecs = plan.codecs;
    int32_t clamped;
    for (uint32_t i = 0; i < plan.unconditional; ++i) {
        const FieldCodec& codec = codecs[i];
        const uint64_t raw = windowRaw(codec, windows);
        const double physical = physicalOf<Clamp>(codec, raw, clamped);
        out.put(codec, raw, physical, clamped);
    }
    for (uint32_t i = plan.unconditional; i < plan.count; ++i) {
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
        const uint32_t id = b.ids[f];
        const bool extended = b.extended != nullptr ? b.extended[f] != 0 : id > 0x7FF;
        size_t length = b.lengths != nullptr ? std::min<size_t>(b.lengths[f], b.payload_stride) : b.payload_stride;
        length = std::min<size_t>(length, kMaxPayloadBytes);
        if (b.timestamps != nullptr && b.timestamps_out != nullptr) b.timestamps_out[f] = b.timestamps[f];
        ColumnOut out{b.physical + f, b.present + f, b.column_stride};
        const MessageEntry* entry = database.findEntry(id, extended);
        if (entry == nullptr) {
            b.message_index[f] = -1;
            for (size_t s = 0; s < columns; ++s) out.absent(s);
            continue;
        }
        b.message_index[f] = static_cast<int32_t>(entry->index);
        const PlanView& plan = entry->plan;
        for (size_t s = plan.unconditional == plan.signalCount ? plan.signalCount : 0; s < columns; ++s) out.absent(s);
        decodeFrame<Clamp>(plan, database.messages[entry->index], b.payloads + f * b.payload_stride, length, out);
    }
}

}  // namespace

void buildDecodePlan(Message& message) {
    DecodePlan& plan = message.plan;
    plan.codecs.clear();
    uint32_t fastLength = 8;
    bool fast = true;
    for (const Signal& signal : message.signals) {
        if (!signal.decodable) continue;
        fastLength = std::max<uint32_t>(fastLength, signal.field.endByte);
        // A field spread over nine bytes needs the byte-wise reader.
        fast = fast && signal.field.shift + signal.length <= 64;
    }
    plan.fastLength = fast ? static_cast<uint8_t>(fastLength) : 0xFF;
    std::vector<uint32_t> codecOf(message.signals.size(), UINT32_MAX);
    for (uint32_t s = 0; s < message.signals.size(); ++s) {
        const Signal& signal = message.signals[s];
        if (!signal.decodable || signal.switchIndex != kNoSwitch) continue;
        codecOf[s] = static_cast<uint32_t>(plan.codecs.size());
        plan.codecs.push_back(makeCodec(signal, s, fastLength));
    }
    plan.unconditional = static_cast<uint32_t>(plan.codecs.size());
    // decodeOrder puts every switch before the signals it switches.
    for (const uint32_t s : message.decodeOrder) {
        const Signal& signal = message.signals[s];
        if (!signal.decodable || signal.switchIndex == kNoSwitch) continue;
        // A switch that cannot be decoded carries nothing.
        if (codecOf[signal.switchIndex] == UINT32_MAX) continue;
        codecOf[s] = static_cast<uint32_t>(plan.codecs.size());
        plan.codecs.push_back(makeCodec(signal, s, fastLength));
    }
}

bool inRanges(const std::vector<MuxRange>& ranges, uint64_t raw) noexcept {
    for (const MuxRange& range : ranges)
        if (raw >= range.low && raw <= range.high) return true;
    return false;
}

const char* valueText(const Signal& signal, uint64_t raw) noexcept {
    if (signal.type == ValueType::kSingle || signal.type == ValueType::kDouble) {
        const double number = signal.type == ValueType::kSingle
                                  ? static_cast<double>(std::bit_cast<float>(static_cast<uint32_t>(raw)))
                                  : std::bit_cast<double>(raw);
        if (!(std::fabs(number) < 0x1p63) || std::trunc(number) != number) return nullptr;
        return signal.values.find(static_cast<int64_t>(number));
    }
    return signal.values.find(static_cast<int64_t>(raw));
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
