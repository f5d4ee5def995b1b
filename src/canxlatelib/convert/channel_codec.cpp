#include "canxlatelib/convert/channel_codec.h"

#include <cmath>
#include <limits>

namespace canxlate {

ChannelCodec makeChannelCodec(const ChannelDefinition& definition) noexcept {
    const uint32_t start = definition.startBit;
    const uint32_t bits = definition.bitCount;
    const bool bigEndian = definition.byteOrder == kByteOrderBigEndian;
    const uint32_t byteIndex = start / 8;
    const uint32_t bitInByte = start % 8;

    ChannelCodec codec{};
    codec.fieldMask = bits >= 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1;
    codec.bigEndian = bigEndian ? 1 : 0;
    // In the big-endian word payload byte i sits at bit 8 * (7 - i).
    codec.wordShift = static_cast<uint8_t>(bigEndian ? 8 * (7 - byteIndex) : start);
    codec.fieldShift = static_cast<uint8_t>(bigEndian ? bitInByte : 0);
    codec.placeShift = static_cast<uint8_t>(bigEndian ? 8 * (7 - byteIndex) + bitInByte : start);
    codec.signShift = static_cast<uint8_t>(64 - bits);

    switch (definition.dataType) {
        case kDataTypeSignedInt:
            codec.kind = RawKind::kSigned;
            codec.rawMinimum = -std::ldexp(1.0, static_cast<int>(bits) - 1);
            codec.rawMaximum = std::ldexp(1.0, static_cast<int>(bits) - 1) - 1.0;
            break;
        case kDataTypeUnsignedInt:
            codec.kind = RawKind::kUnsigned;
            codec.rawMinimum = 0.0;
            codec.rawMaximum = std::ldexp(1.0, static_cast<int>(bits)) - 1.0;
            break;
        default: codec.kind = bits == 32 ? RawKind::kSingle : RawKind::kDouble; break;
    }

    codec.factor = definition.factor;
    codec.offset = definition.offset;
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    codec.lowerLimit = definition.limitsEnabled ? definition.minimum : -kInfinity;
    codec.upperLimit = definition.limitsEnabled ? definition.maximum : kInfinity;
    return codec;
}

}  // namespace canxlate
