// An opened database: read-only once built, so any number of threads may use
// it at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "canxlate/database/attribute.h"
#include "canxlate/database/diagnostic.h"
#include "canxlate/database/environment_variable.h"
#include "canxlate/database/message.h"
#include "canxlate/database/node.h"

namespace canxlate::db {

inline constexpr uint32_t kNotFound = UINT32_MAX;

// What decoding a frame needs of its message, found by ID in one probe.
struct MessageEntry {
    uint32_t key;    // ID, bit 31 for extended
    uint32_t index;  // kNotFound marks an empty slot
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
    std::vector<Node> nodes;              // add them with addNode
    std::vector<Message> messages;
    std::vector<NamedValueTable> valueTables;
    std::vector<EnvironmentVariable> environmentVariables;
    std::vector<AttributeDefinition> attributeDefinitions;
    AttributeList attributes;  // of the network
    std::vector<RelationAttribute> relationAttributes;
    DiagnosticList diagnostics;
    size_t largestSignalCount = 0;

    // False (and nothing changes) when a node has the name already.
    bool addNode(std::string_view name);
    size_t nodeCount() const noexcept { return nodes.size(); }
    const char* node(size_t index) const noexcept { return nodes[index].name.c_str(); }
    // kNotFound when no node has the name.
    uint32_t findNode(std::string_view name) const noexcept {
        return nodesByName_.find(name, [this](uint32_t i) -> std::string_view { return nodes[i].name; });
    }
    bool hasNode(std::string_view name) const noexcept { return findNode(name) != kNotFound; }
    // After nodes were renamed.
    void reindexNodes();

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
    NameIndex nodesByName_;
};

}  // namespace canxlate::db
