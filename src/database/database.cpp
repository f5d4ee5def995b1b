#include "database/database.h"

#include <algorithm>

namespace canxlate::db {
namespace {

uint64_t idKey(uint32_t id, bool extended) { return uint64_t{id} | (extended ? uint64_t{1} << 32 : 0); }

}  // namespace

void Database::buildIndexes() {
    messagesById_.reserve(messages.size());
    messagesByName_.reserve(messages.size());
    for (uint32_t i = 0; i < messages.size(); ++i) {
        Message& message = messages[i];
        message.index = i;
        for (size_t s = 0; s < message.signals.size(); ++s) {
            Signal& signal = message.signals[s];
            signal.index = s;
            signal.switchSignal = signal.switchIndex == kNoSwitch ? nullptr : &message.signals[signal.switchIndex];
        }
        messagesById_.emplace(idKey(message.id, message.extended), i);
        messagesByName_.add(message.name, i);
        largestSignalCount = std::max(largestSignalCount, message.signals.size());
    }
}

uint32_t Database::findMessage(uint32_t id, bool extended) const noexcept {
    auto it = messagesById_.find(idKey(id, extended));
    return it == messagesById_.end() ? kNotFound : it->second;
}

}  // namespace canxlate::db
