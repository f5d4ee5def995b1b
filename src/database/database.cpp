#include "database/database.h"

#include <algorithm>

namespace canxlate::db {
namespace {

uint64_t idKey(uint32_t id, bool extended) { return uint64_t{id} | (extended ? uint64_t{1} << 32 : 0); }

}  // namespace

void Database::buildIndexes() {
    size_t slots = 16;
    while (slots < 2 * messages.size()) slots *= 2;
    idSlots_.assign(slots, IdSlot{0, kNotFound});
    messagesByName_.reserve(messages.size());
    for (uint32_t i = 0; i < messages.size(); ++i) {
        Message& message = messages[i];
        message.index = i;
        for (size_t s = 0; s < message.signals.size(); ++s) {
            Signal& signal = message.signals[s];
            signal.index = s;
            signal.switchSignal = signal.switchIndex == kNoSwitch ? nullptr : &message.signals[signal.switchIndex];
        }
        message.codecs.clear();
        message.codecs.reserve(message.signals.size());
        for (const Signal& signal : message.signals) {
            message.codecs.push_back({signal.field, signal.factor, signal.offset, signal.minimum, signal.maximum,
                                      signal.switchIndex, static_cast<uint8_t>(signal.type),
                                      static_cast<uint8_t>(signal.decodable),
                                      static_cast<uint8_t>(!(signal.minimum == 0.0 && signal.maximum == 0.0)),
                                      static_cast<uint8_t>(!signal.values.empty()), &signal});
        }
        addIdSlot(idKey(message.id, message.extended), i);
        messagesByName_.add(message.name, i);
        largestSignalCount = std::max(largestSignalCount, message.signals.size());
    }
}

uint32_t Database::findMessage(uint32_t id, bool extended) const noexcept {
    if (idSlots_.empty()) return kNotFound;
    const uint64_t key = idKey(id, extended);
    for (size_t slot = slotOf(key);; slot = (slot + 1) & (idSlots_.size() - 1)) {
        const IdSlot& entry = idSlots_[slot];
        if (entry.index == kNotFound || entry.key == key) return entry.index;
    }
}

size_t Database::slotOf(uint64_t key) const noexcept {
    // Fibonacci hashing spreads neighbouring IDs over the table.
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & (idSlots_.size() - 1);
}

void Database::addIdSlot(uint64_t key, uint32_t index) {
    size_t slot = slotOf(key);
    while (idSlots_[slot].index != kNotFound) {
        if (idSlots_[slot].key == key) return;  // the first message of an ID keeps it
        slot = (slot + 1) & (idSlots_.size() - 1);
    }
    idSlots_[slot] = {key, index};
}

}  // namespace canxlate::db
