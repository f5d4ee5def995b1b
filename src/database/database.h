// An opened database: read-only once built, so any number of threads may use
// it at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "database/diagnostic.h"
#include "database/message.h"

namespace canxlate::db {

inline constexpr uint32_t kNotFound = UINT32_MAX;

struct Database {
    std::string version;
    std::string comment;
    std::vector<std::string> nodes;
    std::vector<Message> messages;
    DiagnosticList diagnostics;
    size_t largestSignalCount = 0;

    // Builds the lookup tables; call once, after the last message was added.
    void buildIndexes();
    uint32_t findMessage(uint32_t id, bool extended) const noexcept;
    uint32_t findMessage(std::string_view name) const noexcept { return messagesByName_.find(name); }

private:
    // Open addressing with linear probing: ID and extended flag -> message.
    struct IdSlot {
        uint64_t key;
        uint32_t index;  // kNotFound marks an empty slot
    };
    size_t slotOf(uint64_t key) const noexcept;
    void addIdSlot(uint64_t key, uint32_t index);
    std::vector<IdSlot> idSlots_;
    NameIndex messagesByName_;
};

}  // namespace canxlate::db
