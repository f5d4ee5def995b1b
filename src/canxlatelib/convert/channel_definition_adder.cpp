#include "canxlatelib/convert/channel_definition_adder.h"

#include <algorithm>
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

// A message has a lookup from this many channels on, so that adding stays
// linear in the number of channels.
constexpr std::size_t kChannelsBeforeLookup = 32;

// How the lookup of a message tells the name of its channel i.
auto nameOf(const MessageRecord& message) {
    return [&message](uint32_t i) -> std::string_view { return message.channels[i]->name; };
}

// The first existing channel that has the new name or whose numeric bit range
// meets the new one decides. The ranges are compared as numbers whatever the
// byte order, so Motorola fields are not followed across bytes.
int32_t checkAgainstExistingChannels(const MessageRecord& message, const char* name, uint32_t startBit,
                                     uint32_t bitCount) {
    const uint32_t newEnd = startBit + bitCount - 1;
    if (const ChannelLookup* lookup = message.lookup.get()) {
        const uint32_t nameIndex = lookup->firstByName.find(name, nameOf(message));
        uint32_t overlapIndex = ChannelLookup::kNone;
        for (uint32_t bit = startBit; bit <= newEnd; ++bit)
            overlapIndex = std::min(overlapIndex, lookup->firstCovering[bit]);
        if (nameIndex == ChannelLookup::kNone && overlapIndex == ChannelLookup::kNone) return kSuccess;
        return nameIndex <= overlapIndex ? kErrDuplicateChannelName : kWarnBitsOverlap;
    }
    for (const auto& channel : message.channels) {
        if (std::strcmp(channel->name.c_str(), name) == 0) return kErrDuplicateChannelName;
        const uint32_t existingEnd = channel->startBit + channel->bitCount - 1;
        if (startBit <= existingEnd && channel->startBit <= newEnd) return kWarnBitsOverlap;
    }
    return kSuccess;
}

// Records channel index in the lookup: its name if new, and the bits it covers
// that no earlier channel covers.
void noteInLookup(const MessageRecord& message, ChannelLookup& lookup, const ChannelDefinition& channel,
                  uint32_t index) {
    lookup.firstByName.add(channel.name, index, nameOf(message));
    for (uint32_t bit = channel.startBit; bit < channel.startBit + channel.bitCount; ++bit)
        if (lookup.firstCovering[bit] == ChannelLookup::kNone) lookup.firstCovering[bit] = index;
}

// Makes the lookup of a message that has reached kChannelsBeforeLookup
// channels, before the next one is added. Throws std::bad_alloc and then
// leaves the message as it was.
void prepareLookup(MessageRecord& message) {
    if (message.lookup != nullptr || message.channels.size() < kChannelsBeforeLookup) return;
    auto lookup = std::make_unique<ChannelLookup>();
    lookup->firstCovering.fill(ChannelLookup::kNone);
    // Names for as many channels as the message has room for: a run of an
    // import made that room at once.
    lookup->firstByName.reserve(message.channels.capacity());
    for (uint32_t i = 0; i < message.channels.size(); ++i) noteInLookup(message, *lookup, *message.channels[i], i);
    message.lookup = std::move(lookup);
}

// The checks of a definition's own fields, in the order their statuses take precedence.
int32_t checkFields(uint32_t dataType, uint32_t byteOrder, uint32_t startBit, uint32_t bitCount,
                    uint32_t payloadSize) noexcept {
    if (dataType > kDataTypeIeeeFloat) return kErrInvalidDataType;
    if (byteOrder > kByteOrderBigEndian) return kErrInvalidByteOrder;
    const int32_t status = checkBitLayout(startBit, bitCount, dataType, byteOrder);
    if (status != kSuccess) return status;
    return payloadSize > kMaxPayloadSize ? kErrInvalidMessageSize : kSuccess;
}

}  // namespace

bool reserveChannels(MessageTable& table, uint32_t messageId, size_t more) {
    MessageRecord* message = table.findMessage(messageId);
    if (message == nullptr) return false;
    message->channels.reserve(message->channels.size() + more);
    message->codecs.reserve(message->codecs.size() + more);
    return true;
}

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
    // Refusals that need no table come before the definition is made.
    MessageTable* table = nullptr;
    int32_t status = validateTableHandle(handle, &table);
    if (status == kSuccess) status = checkFields(dataType, byteOrder, startBit, bitCount, payloadSize);
    if (status != kSuccess) return status;
    auto definition = std::make_unique<ChannelDefinition>(name, unit, startBit, bitCount, dataType, byteOrder, factor,
                                                          offset, minimum, maximum, messageId, payloadSize);
    return addChannelDefinition(handle, definition);
}

int32_t addChannelDefinition(TableHandle handle, std::unique_ptr<ChannelDefinition>& definition) {
    MessageTable* table = nullptr;
    int32_t status = validateTableHandle(handle, &table);
    if (status != kSuccess) return status;
    ChannelDefinition& d = *definition;
    status = checkFields(d.dataType, d.byteOrder, d.startBit, d.bitCount, d.payloadSize);
    if (status != kSuccess) return status;

    GlobalLockGuard guard;
    if (table->inUse()) return kErrTableInUse;

    MessageRecord* message = table->findMessage(d.messageId);
    if (message != nullptr) {
        status = checkAgainstExistingChannels(*message, d.name.c_str(), d.startBit, d.bitCount);
        if (status == kErrDuplicateChannelName) return status;
    }

    // Everything that can fail for lack of memory happens before the table
    // changes; the commit below cannot throw.
    const ChannelCodec codec = makeChannelCodec(d);
    if (message == nullptr) {
        MessageRecord fresh{d.messageId, d.payloadSize, {}, {}, {}};
        reserveOneMore(fresh.channels);
        reserveOneMore(fresh.codecs);
        message = table->messages.insert(d.messageId, std::move(fresh)).first;
    } else {
        reserveOneMore(message->channels);
        reserveOneMore(message->codecs);
        prepareLookup(*message);
        // Noting the channel is the last step that may throw.
        if (message->lookup != nullptr)
            noteInLookup(*message, *message->lookup, d, static_cast<uint32_t>(message->channels.size()));
        d.payloadSize = message->payloadSize;
    }
    message->channels.push_back(std::move(definition));
    message->codecs.push_back(codec);
    return status;
}

}  // namespace canxlate
