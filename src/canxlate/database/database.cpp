#include "canxlate/database/database.h"

#include <algorithm>

#include "canxlate/database/decode_plan.h"

namespace canxlate::db {

void Database::buildIndexes() {
    size_t slots = 16;
    while (slots < 4 * messages.size() && (slots < kQuarterFullSlots || 4 * slots < 5 * messages.size())) slots *= 2;
    indexes_ = Indexes();
    Indexes& made = indexes_;
    made.idSlots.assign(slots, IdSlot{0, kNotFound});
    made.entries.reserve(messages.size());
    made.messagesByName.reserve(messages.size());
    PlanScratch scratch;
    // The slots a message's ID and name land in are fetched some messages
    // ahead: a table of a million entries would otherwise be waited on twice
    // a message.
    constexpr uint32_t kAhead = 8;
    auto prefetch = [&](uint32_t m) {
        if (m >= messages.size()) return;
        __builtin_prefetch(&made.idSlots[slotOf(idKey(messages[m].id, messages[m].extended))]);
        made.messagesByName.prefetch(messages[m].name);
    };
    for (uint32_t m = 0; m < kAhead; ++m) prefetch(m);
    for (uint32_t i = 0; i < messages.size(); ++i) {
        prefetch(i + kAhead);
        Message& message = messages[i];
        message.index = i;
        for (size_t s = 0; s < message.signals.size(); ++s) message.signals[s].index = static_cast<uint32_t>(s);
        const uint32_t key = idKey(message.id, message.extended);
        size_t slot = slotOf(key);
        while (made.idSlots[slot].index != kNotFound && made.idSlots[slot].key != key) slot = (slot + 1) & (slots - 1);
        // The first message of an ID keeps it.
        if (made.idSlots[slot].index == kNotFound) made.idSlots[slot] = {key, i};
        // Reserved: the entries never move, and the messages point at theirs.
        made.entries.push_back({buildDecodePlan(message, made.plans, scratch)});
        message.plan.set(&made.entries.back().plan);
        made.messagesByName.add(message.name, i, [this](uint32_t m) -> std::string_view { return messages[m].name; });
        largestSignalCount = std::max(largestSignalCount, message.signals.size());
    }
}

bool Database::addNode(std::string_view name) {
    auto nameOf = [this](uint32_t i) -> std::string_view { return nodes_[i].name(); };
    if (!nodesByName_.add(name, static_cast<uint32_t>(nodes_.size()), nameOf)) return false;
    nodes_.emplace_back(name);
    return true;
}

void Database::reindexNodes() {
    nodesByName_ = NameIndex();
    nodesByName_.reserve(nodes_.size());  // never held twice while growing
    auto nameOf = [this](uint32_t i) -> std::string_view { return nodes_[i].name(); };
    for (uint32_t i = 0; i < nodes_.size(); ++i) nodesByName_.add(nodes_[i].name(), i, nameOf);
}

}  // namespace canxlate::db
