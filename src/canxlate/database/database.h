// An opened database: read-only once built, so any number of threads may use
// it at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "canxlate/database/diagnostic.h"
#include "canxlate/database/message.h"

namespace canxlate::db {

inline constexpr uint32_t kNotFound = UINT32_MAX;

// What decoding a frame needs of its message, found by ID in one probe.
struct MessageEntry {
    uint32_t key;    // ID, bit 31 for extended
    uint32_t index;  // kNotFound marks an empty slot
    PlanView plan;
};

struct Database {
    std::string version;
    std::string comment;
    std::vector<std::string> nodes;
    std::vector<Message> messages;
    DiagnosticList diagnostics;
    size_t largestSignalCount = 0;

    // Builds the decode plans and lookup tables; call once, after the last
    // message was added.
    void buildIndexes();
    // Null when no message has the ID. Inline: every decoded frame asks.
    const MessageEntry* findEntry(uint32_t id, bool extended) const noexcept {
        if (idSlots_.empty() || id > kLargestId) return nullptr;
        const uint32_t key = idKey(id, extended);
        for (size_t slot = slotOf(key);; slot = (slot + 1) & (idSlots_.size() - 1)) {
            const MessageEntry& entry = idSlots_[slot];
            if (entry.index == kNotFound) return nullptr;
            if (entry.key == key) return &entry;
        }
    }
    uint32_t findMessage(uint32_t id, bool extended) const noexcept {
        const MessageEntry* entry = findEntry(id, extended);
        return entry == nullptr ? kNotFound : entry->index;
    }
    uint32_t findMessage(std::string_view name) const noexcept { return messagesByName_.find(name); }

private:
    static constexpr uint32_t kExtendedKey = 0x80000000u;
    static constexpr uint32_t kLargestId = 0x1FFFFFFFu;

    static uint32_t idKey(uint32_t id, bool extended) noexcept { return id | (extended ? kExtendedKey : 0); }
    // Open addressing with linear probing; Fibonacci hashing spreads
    // neighbouring IDs over the table.
    size_t slotOf(uint32_t key) const noexcept {
        return static_cast<size_t>((uint64_t{key} * 0x9E3779B97F4A7C15ull) >> 32) & (idSlots_.size() - 1);
    }
    std::vector<MessageEntry> idSlots_;
    NameIndex messagesByName_;
};

}  // namespace canxlate::db
