#include "canxlatelib/convert/frame_decoder.h"

#include "canxlatelib/convert/conversion_entry.h"
#include "shared/payload/payload_words.h"
#include "shared/payload/raw_value.h"

namespace canxlate {
namespace {

void decodeChannels(const MessageRecord& message, uint64_t littleEndian, double* values) noexcept {
    const uint64_t words[2] = {littleEndian, byteSwap64(littleEndian)};
    const ChannelCodec* codec = message.codecs.data();
    const ChannelCodec* const end = codec + message.codecs.size();
    for (; codec != end; ++codec, ++values) {
        const uint64_t shifted = words[codec->bigEndian] >> codec->wordShift;
        const uint64_t raw =
            static_cast<uint64_t>(static_cast<int64_t>(shifted) >> codec->fieldShift) & codec->fieldMask;
        double physical = rawToValue(codec->kind, codec->signShift, raw) * codec->factor + codec->offset;
        // Minimum first; a NaN passes both tests.
        if (physical < codec->lowerLimit)
            physical = codec->lowerLimit;
        else if (physical > codec->upperLimit)
            physical = codec->upperLimit;
        *values = physical;
    }
}

}  // namespace

int32_t decodeFrame(TableHandle handle, uint32_t messageId, const uint8_t* payload, double* values) noexcept {
    const MessageRecord* message = nullptr;
    int32_t status = findMessageForConversion(handle, messageId, payload, values, &message);
    if (status != kSuccess) return status;
    decodeChannels(*message, loadLittleEndian(payload), values);
    return kSuccess;
}

int32_t decodeFrameWords(TableHandle handle, uint32_t messageId, const uint32_t* words, double* values) noexcept {
    const MessageRecord* message = nullptr;
    int32_t status = findMessageForConversion(handle, messageId, words, values, &message);
    if (status != kSuccess) return status;
    decodeChannels(*message, littleEndianFromWords(words), values);
    return kSuccess;
}

}  // namespace canxlate
