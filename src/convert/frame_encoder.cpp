#include "convert/frame_encoder.h"

#include <bit>
#include <cmath>
#include <limits>

#include "convert/conversion_entry.h"
#include "convert/payload_words.h"

namespace canxlate {
namespace {

// Halfway between the largest single and 2^128: from here on, round-to-nearest
// (ties to even) gives infinity.
constexpr double kSingleOverflowThreshold = 0x1.ffffffp127;

// Rounds half away from zero in double arithmetic and saturates to the field's
// range; a NaN gives the range minimum. The comparisons run in double, so no
// out-of-range value is ever converted to an integer.
inline uint64_t integerField(const ChannelCodec& codec, double scaled) noexcept {
    double rounded = scaled < 0.0 ? scaled - 0.5 : scaled + 0.5;
    if (rounded > codec.rawMaximum) rounded = codec.rawMaximum;
    if (!(rounded >= codec.rawMinimum)) rounded = codec.rawMinimum;
    return static_cast<uint64_t>(static_cast<int64_t>(rounded)) & codec.fieldMask;
}

inline uint64_t rawField(const ChannelCodec& codec, double scaled) noexcept {
    switch (codec.kind) {
    case RawKind::kSigned:
    case RawKind::kUnsigned:
        return integerField(codec, scaled);
    case RawKind::kSingle:
        return std::bit_cast<uint32_t>(roundToSingle(scaled));
    case RawKind::kDouble:
        break;
    }
    return std::bit_cast<uint64_t>(scaled);
}

uint64_t encodeChannels(const MessageRecord& message, double* values) noexcept {
    uint64_t littleEndian = 0;
    const ChannelCodec* codec = message.codecs.data();
    const ChannelCodec* const end = codec + message.codecs.size();
    for (; codec != end; ++codec, ++values) {
        double value = *values;
        // Maximum first; a NaN passes both tests. The caller sees the clamped value.
        if (value > codec->upperLimit)
            value = codec->upperLimit;
        else if (value < codec->lowerLimit)
            value = codec->lowerLimit;
        *values = value;
        const uint64_t placed = rawField(*codec, (value - codec->offset) / codec->factor) << codec->placeShift;
        // Intel fields replace the bits they cover; Motorola fields are ORed in,
        // and bits that would fall before payload byte 0 are dropped by the shift.
        littleEndian = (littleEndian & codec->keepMask) | (codec->bigEndian ? byteSwap64(placed) : placed);
    }
    return littleEndian;
}

}  // namespace

float roundToSingle(double value) noexcept {
    if (std::fabs(value) >= kSingleOverflowThreshold)
        return std::signbit(value) ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

int32_t encodeFrame(TableHandle handle, uint32_t messageId, double* values, uint8_t* payload) noexcept {
    const MessageRecord* message = nullptr;
    int32_t status = findMessageForConversion(handle, messageId, values, payload, &message);
    if (status != kSuccess) return status;
    storeLittleEndian(encodeChannels(*message, values), payload);
    return kSuccess;
}

int32_t encodeFrameWords(TableHandle handle, uint32_t messageId, double* values, uint32_t* words) noexcept {
    const MessageRecord* message = nullptr;
    int32_t status = findMessageForConversion(handle, messageId, values, words, &message);
    if (status != kSuccess) return status;
    wordsFromLittleEndian(encodeChannels(*message, values), words);
    return kSuccess;
}

}  // namespace canxlate
