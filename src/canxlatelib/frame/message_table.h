// A message table: the map from CAN message ID to the message's channels, and
// the in-use flag that closes the table to further definitions once it has
// been queried or used for conversion. A table in use never changes again,
// which is what lets any number of threads read it without the lock.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "canxlatelib/convert/channel_codec.h"
#include "canxlatelib/frame/hash_map.h"
#include "shared/definitions/channel_definition.h"
#include "shared/lookup/name_index.h"

namespace canxlate {

// For a message of many channels, what adding one more must know without
// walking them all: the first channel of each name (an index that keeps no
// names, the channels do), and the first channel whose numeric bit range
// (start bit to start bit + count - 1) covers each bit.
struct ChannelLookup {
    static constexpr uint32_t kNone = UINT32_MAX;
    static_assert(kNone == NameIndex::kAbsent);
    static constexpr uint32_t kBitPositions = 127;  // start bit 63 + 64 bits - 1
    NameIndex firstByName;
    std::array<uint32_t, kBitPositions> firstCovering;
};

struct MessageRecord {
    uint32_t messageId;
    uint32_t payloadSize;  // fixed by the message's first channel
    // Definition order. codecs[i] is channels[i] prepared for conversion, kept
    // contiguous for the conversion loops.
    std::vector<std::unique_ptr<ChannelDefinition>> channels;
    std::vector<ChannelCodec> codecs;
    // Made once the message has many channels; never used for conversion.
    std::unique_ptr<ChannelLookup> lookup;
};

inline constexpr uint32_t kInitialMessageBuckets = 100;  // gives 193 buckets

class MessageTable {
public:
    MessageTable() : messages(kInitialMessageBuckets) {}

    bool inUse() const noexcept { return inUse_.load(std::memory_order_acquire); }
    // Sets the in-use flag, under the global lock, unless it is already set.
    void markInUse() noexcept;

    MessageRecord* findMessage(uint32_t messageId) noexcept { return messages.find(messageId); }

    HashMap<uint32_t, MessageRecord> messages;

private:
    std::atomic<bool> inUse_{false};
};

}  // namespace canxlate
