// An opened database: read-only once built, so any number of threads may use
// it at once.
#pragma once

#include <cstdint>
#include <deque>
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
    // A deque: growing it never holds the messages twice, nor room for as
    // many again, and a message stays where it is.
    std::deque<Message> messages;
    DiagnosticList diagnostics;
    size_t largestSignalCount = 0;

    // False (and nothing changes) when a node has the name already.
    bool addNode(std::string_view name);
    // A name about to be added: see NameIndex::prefetch.
    void prefetchNode(std::string_view name) const noexcept { nodesByName_.prefetch(name); }
    size_t nodeCount() const noexcept { return nodeStarts_.size(); }
    const char* node(size_t index) const noexcept { return nodeNames_.c_str() + nodeStarts_[index]; }
    bool hasNode(std::string_view name) const noexcept {
        return nodesByName_.find(name, [this](uint32_t i) { return std::string_view(node(i)); }) != kNotFound;
    }

    // Builds the decode plans and lookup tables; call once, after the last
    // message was added.
    void buildIndexes();
    // Null when no message has the ID.
    const MessageEntry* findEntry(uint32_t id, bool extended) const noexcept;
    uint32_t findMessage(uint32_t id, bool extended) const noexcept {
        const MessageEntry* entry = findEntry(id, extended);
        return entry == nullptr ? kNotFound : entry->index;
    }
    uint32_t findMessage(std::string_view name) const noexcept {
        return messagesByName_.find(name, [this](uint32_t i) -> std::string_view { return messages[i].name; });
    }

private:
    // Open addressing with linear probing.
    size_t slotOf(uint32_t key) const noexcept;
    std::vector<MessageEntry> idSlots_;
    NameIndex messagesByName_;
    // Node names one after the other, each ended by a NUL: a node costs its
    // name and a few bytes, however many a file lists.
    std::string nodeNames_;
    std::vector<uint32_t> nodeStarts_;
    NameIndex nodesByName_;
};

}  // namespace canxlate::db
