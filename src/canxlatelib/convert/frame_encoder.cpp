#include "canxlatelib/convert/frame_encoder.h"

#include <bit>

#include "canxlatelib/convert/conversion_entry.h"
#include "shared/payload/payload_words.h"
#include "shared/payload/raw_value.h"

namespace canxlate {
namespace {

inline uint64_t rawField(const ChannelCodec& codec, double scaled) noexcept {
    switch (codec.kind) {
        case RawKind::kSigned:
        case RawKind::kUnsigned:
            return roundedIntegerField(scaled, codec.rawMinimum, codec.rawMaximum, codec.fieldMask);
        case RawKind::kSingle: return std::bit_cast<uint32_t>(roundToSingle(scaled));
        case RawKind::kDouble: break;
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
        const uint64_t keep = codec->bigEndian ? ~uint64_t{0} : ~(codec->fieldMask << codec->placeShift);
        littleEndian = (littleEndian & keep) | (codec->bigEndian ? byteSwap64(placed) : placed);
    }
    return littleEndian;
}

}  // namespace

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
