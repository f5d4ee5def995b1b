#include "canxlate/database/database.h"

#include <algorithm>

#include "canxlate/codec/decoder.h"

namespace canxlate::db {
namespace {

constexpr uint32_t kExtendedKey = 0x80000000u;
constexpr uint32_t kLargestId = 0x1FFFFFFFu;

uint32_t idKey(uint32_t id, bool extended) { return id | (extended ? kExtendedKey : 0); }

}  // namespace

void Database::buildIndexes() {
    reindexNodes();  // nodes may have been moved in whole, or renamed
    size_t slots = 16;
    while (slots < 2 * messages.size()) slots *= 2;
    idSlots_.assign(slots, MessageEntry{0, kNotFound, {}});
    messagesByName_.reserve(messages.size());
    for (uint32_t i = 0; i < messages.size(); ++i) {
        Message& message = messages[i];
        message.index = i;
        for (size_t s = 0; s < message.signals.size(); ++s) {
            Signal& signal = message.signals[s];
            signal.index = s;
            signal.switchSignal = signal.switchIndex == kNoSwitch ? nullptr : &message.signals[signal.switchIndex];
        }
        buildDecodePlan(message);
        const uint32_t key = idKey(message.id, message.extended);
        size_t slot = slotOf(key);
        while (idSlots_[slot].index != kNotFound && idSlots_[slot].key != key) slot = (slot + 1) & (slots - 1);
        // The first message of an ID keeps it.
        if (idSlots_[slot].index == kNotFound) idSlots_[slot] = {key, i, message.planView()};
        messagesByName_.add(message.name, i, [this](uint32_t m) -> std::string_view { return messages[m].name; });
        largestSignalCount = std::max(largestSignalCount, message.signals.size());
    }
}

bool Database::addNode(std::string_view name) {
    auto nameOf = [this](uint32_t i) -> std::string_view { return nodes[i].name; };
    if (!nodesByName_.add(name, static_cast<uint32_t>(nodes.size()), nameOf)) return false;
    nodes.push_back({std::string(name), {}, {}});
    return true;
}

void Database::reindexNodes() {
    nodesByName_ = NameIndex();
    auto nameOf = [this](uint32_t i) -> std::string_view { return nodes[i].name; };
    for (uint32_t i = 0; i < nodes.size(); ++i) nodesByName_.add(nodes[i].name, i, nameOf);
}

const MessageEntry* Database::findEntry(uint32_t id, bool extended) const noexcept {
    if (idSlots_.empty() || id > kLargestId) return nullptr;
    const uint32_t key = idKey(id, extended);
    for (size_t slot = slotOf(key);; slot = (slot + 1) & (idSlots_.size() - 1)) {
        const MessageEntry& entry = idSlots_[slot];
        if (entry.index == kNotFound) return nullptr;
        if (entry.key == key) return &entry;
    }
}

size_t Database::slotOf(uint32_t key) const noexcept {
    // Fibonacci hashing spreads neighbouring IDs over the table.
    return static_cast<size_t>((uint64_t{key} * 0x9E3779B97F4A7C15ull) >> 32) & (idSlots_.size() - 1);
}

}  // namespace canxlate::db
