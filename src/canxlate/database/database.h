// An opened database: read-only once built, so any number of threads may use
// it at once.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "canxlate/database/attribute.h"
#include "canxlate/database/diagnostic.h"
#include "canxlate/database/environment_variable.h"
#include "canxlate/database/message.h"
#include "canxlate/database/node.h"
#include "canxlate/database/plan_arena.h"

namespace canxlate::db {

inline constexpr uint32_t kNotFound = UINT32_MAX;

// What decoding a frame needs of its message, one for each message, in
// message order.
struct MessageEntry {
    PlanView plan;
};

// A value table given a name of its own (VAL_TABLE_).
struct NamedValueTable {
    std::string name;
    ValueTable values;
};

struct Database {
    std::string version;
    std::string comment;
    std::vector<std::string> newSymbols;  // the NS_ section as written
    std::string busSpeed;                 // what follows "BS_:", its tokens one space apart
    // A deque: growing it never holds the messages twice, nor room for as
    // many again, and a message stays where it is.
    std::deque<Message> messages;
    std::vector<NamedValueTable> valueTables;
    std::vector<EnvironmentVariable> environmentVariables;
    std::vector<AttributeDefinition> attributeDefinitions;
    AttributeList attributes;  // of the network
    std::vector<RelationAttribute> relationAttributes;
    DiagnosticList diagnostics;
    size_t largestSignalCount = 0;

    // Nodes are added, renamed and taken over only here, so that the lookup
    // by name always holds. False (and nothing changes) when a node has the
    // name already.
    bool addNode(std::string_view name);
    // newName(node) gives a node's new name, or null to keep it; of two
    // nodes that end with the same name, the first is found by it.
    template <typename NewName>
    void renameNodes(NewName newName) {
        for (Node& node : nodes_)
            if (const auto* name = newName(std::as_const(node))) node.name_ = *name;
        reindexNodes();
    }
    // Takes the nodes of other in place of these.
    void takeNodes(Database& other) {
        nodes_ = std::move(other.nodes_);
        reindexNodes();
    }
    const std::deque<Node>& nodes() const noexcept { return nodes_; }
    // To change what a node is given, not its name.
    Node& editNode(size_t index) noexcept { return nodes_[index]; }
    size_t nodeCount() const noexcept { return nodes_.size(); }
    const char* node(size_t index) const noexcept { return nodes_[index].name().c_str(); }
    // kNotFound when no node has the name.
    uint32_t findNode(std::string_view name) const noexcept {
        return nodesByName_.find(name, [this](uint32_t i) -> std::string_view { return nodes_[i].name(); });
    }
    bool hasNode(std::string_view name) const noexcept { return findNode(name) != kNotFound; }
    // A name about to be added: see NameIndex::prefetch.
    void prefetchNode(std::string_view name) const noexcept { nodesByName_.prefetch(name); }

    // Builds the decode plans and lookup tables, after the last message was
    // added; a copy of a database has none until it builds its own.
    void buildIndexes();
    // Null when no message has the ID. Inline: every decoded frame asks.
    // Inlined whole: the decoding loops are compiled for more than one
    // instruction set, and a call out of them would leave theirs.
    [[gnu::always_inline]] const MessageEntry* findEntry(uint32_t id, bool extended) const noexcept {
        const IdSlot* found = findSlot(id, extended);
        return found == nullptr ? nullptr : &indexes_.entries[found->index];
    }
    // The message of an ID.
    const Message* findMessageOf(uint32_t id, bool extended) const noexcept {
        const MessageEntry* entry = findEntry(id, extended);
        return entry == nullptr ? nullptr : entry->plan.message;
    }
    uint32_t findMessage(uint32_t id, bool extended) const noexcept {
        const MessageEntry* entry = findEntry(id, extended);
        return entry == nullptr ? kNotFound : indexOf(entry);
    }
    // The entries by message index: that of an entry findEntry gave is
    // its distance from the first.
    const MessageEntry* entries() const noexcept { return indexes_.entries.data(); }
    uint32_t indexOf(const MessageEntry* entry) const noexcept { return static_cast<uint32_t>(entry - entries()); }
    uint32_t findMessage(std::string_view name) const noexcept {
        return indexes_.messagesByName.find(name, [this](uint32_t i) -> std::string_view { return messages[i].name; });
    }

private:
    void reindexNodes();

    static constexpr uint32_t kExtendedKey = 0x80000000u;
    static constexpr uint32_t kLargestId = 0x1FFFFFFFu;

    // Slots hold a key and the index of its first message, so that the table
    // costs little beside the entries: a quarter full at most, four fifths full
    // when larger than kQuarterFullSlots (a file of a million messages).
    struct IdSlot {
        uint32_t key;
        uint32_t index;  // of the first message of the ID; kNotFound marks an empty slot
    };
    static constexpr size_t kQuarterFullSlots = size_t{1} << 16;

    [[gnu::always_inline]] const IdSlot* findSlot(uint32_t id, bool extended) const noexcept {
        if (indexes_.idSlots.empty() || id > kLargestId) return nullptr;
        const uint32_t key = idKey(id, extended);
        for (size_t slot = slotOf(key);; slot = (slot + 1) & (indexes_.idSlots.size() - 1)) {
            const IdSlot& found = indexes_.idSlots[slot];
            if (found.index == kNotFound) return nullptr;
            if (found.key == key) return &found;
        }
    }

    static uint32_t idKey(uint32_t id, bool extended) noexcept { return id | (extended ? kExtendedKey : 0); }
    // Open addressing with linear probing; Fibonacci hashing spreads
    // neighbouring IDs over the table.
    size_t slotOf(uint32_t key) const noexcept {
        return static_cast<size_t>((uint64_t{key} * 0x9E3779B97F4A7C15ull) >> 32) & (indexes_.idSlots.size() - 1);
    }
    // What buildIndexes makes, none of it copied: it points into the messages.
    struct Indexes {
        Indexes() = default;
        Indexes(const Indexes&) noexcept {}
        Indexes& operator=(const Indexes& other) noexcept {
            if (this != &other) *this = Indexes();
            return *this;
        }
        Indexes(Indexes&&) noexcept = default;
        Indexes& operator=(Indexes&&) noexcept = default;

        std::vector<IdSlot> idSlots;
        std::vector<MessageEntry> entries;  // by message index
        NameIndex messagesByName;
        PlanArena plans;
    };
    Indexes indexes_;
    // A deque, as the messages.
    std::deque<Node> nodes_;
    NameIndex nodesByName_;
};

}  // namespace canxlate::db
