#include "canxlatelib/convert/channel_definition_adder.h"

#include <cstring>
#include <memory>
#include <utility>

#include "canxlatelib.h"
#include "canxlatelib/convert/channel_codec.h"
#include "canxlatelib/frame/global_lock.h"
#include "canxlatelib/frame/message_table.h"
#include "canxlatelib/frame/reserve_one_more.h"

namespace canxlate {
namespace {

constexpr uint32_t kMaxPayloadSize = 8;
constexpr uint32_t kMaxIntegerBits = 52;

// The first existing channel that has the new name or whose numeric bit range
// meets the new one decides. The ranges are compared as numbers whatever the
// byte order, so Motorola fields are not followed across bytes.
int32_t checkAgainstExistingChannels(const MessageRecord& message, const char* name, uint32_t startBit,
                                     uint32_t bitCount) noexcept {
    const uint32_t newEnd = startBit + bitCount - 1;
    for (const auto& channel : message.channels) {
        if (std::strcmp(channel->name.c_str(), name) == 0) return kErrDuplicateChannelName;
        const uint32_t existingEnd = channel->startBit + channel->bitCount - 1;
        if (startBit <= existingEnd && channel->startBit <= newEnd) return kWarnBitsOverlap;
    }
    return kSuccess;
}

}  // namespace

int32_t checkBitLayout(uint32_t startBit, uint32_t bitCount, uint32_t dataType, uint32_t byteOrder) noexcept {
    if (bitCount == 0 || bitCount > 64) return kErrInvalidBitLayout;
    if (byteOrder == kByteOrderLittleEndian && uint64_t{startBit} + bitCount > 64) return kErrInvalidBitLayout;
    if (startBit > 63) return kErrInvalidBitLayout;
    if (dataType == kDataTypeIeeeFloat && bitCount != 32 && bitCount != 64) return kErrInvalidBitLayout;
    if (dataType != kDataTypeIeeeFloat && bitCount > kMaxIntegerBits) return kErrInvalidBitLayout;
    return kSuccess;
}

int32_t addChannelDefinition(TableHandle handle, const char* name, const char* unit, uint32_t startBit,
                             uint32_t bitCount, uint32_t dataType, uint32_t byteOrder, double factor, double offset,
                             double minimum, double maximum, uint32_t messageId, uint32_t payloadSize) {
    if (name == nullptr || unit == nullptr) return kErrNullArgument;
    MessageTable* table = nullptr;
    int32_t status = validateTableHandle(handle, &table);
    if (status != kSuccess) return status;
    if (dataType > kDataTypeIeeeFloat) return kErrInvalidDataType;
    if (byteOrder > kByteOrderBigEndian) return kErrInvalidByteOrder;
    status = checkBitLayout(startBit, bitCount, dataType, byteOrder);
    if (status != kSuccess) return status;
    if (payloadSize > kMaxPayloadSize) return kErrInvalidMessageSize;

    GlobalLockGuard guard;
    if (table->inUse()) return kErrTableInUse;

    MessageRecord* message = table->findMessage(messageId);
    if (message != nullptr) {
        status = checkAgainstExistingChannels(*message, name, startBit, bitCount);
        if (status == kErrDuplicateChannelName) return status;
    }

    // Everything that can fail for lack of memory happens before the table
    // changes; the commit below cannot throw.
    const uint32_t recordSize = message != nullptr ? message->payloadSize : payloadSize;
    auto definition = std::make_unique<ChannelDefinition>(name, unit, startBit, bitCount, dataType, byteOrder, factor,
                                                          offset, minimum, maximum, messageId, recordSize);
    const ChannelCodec codec = makeChannelCodec(*definition);
    if (message == nullptr) {
        MessageRecord fresh{messageId, payloadSize, {}, {}};
        reserveOneMore(fresh.channels);
        reserveOneMore(fresh.codecs);
        message = table->messages.insert(messageId, std::move(fresh)).first;
    } else {
        reserveOneMore(message->channels);
        reserveOneMore(message->codecs);
    }
    message->channels.push_back(std::move(definition));
    message->codecs.push_back(codec);
    return status;
}

}  // namespace canxlate
