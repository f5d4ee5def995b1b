#include "canxlatelib/frame/table_queries.h"

#include "canxlatelib.h"
#include "canxlatelib/frame/global_lock.h"

namespace canxlate {
namespace {

// Null-pointer check, validation and freezing, in that order; the table is
// marked before any message is looked up.
int32_t openFrozenTable(TableHandle handle, const void* out, MessageTable** table) noexcept {
    if (out == nullptr) return kErrNullArgument;
    int32_t status = validateTableHandle(handle, table);
    if (status != kSuccess) return status;
    (*table)->markInUse();
    return kSuccess;
}

// As openFrozenTable, then the message; an absent one is an error, after the
// table has been frozen.
int32_t findInFrozenTable(TableHandle handle, uint32_t messageId, const void* out,
                          const MessageRecord** message) noexcept {
    MessageTable* table = nullptr;
    int32_t status = openFrozenTable(handle, out, &table);
    if (status != kSuccess) return status;
    *message = table->findMessage(messageId);
    return *message != nullptr ? kSuccess : kErrUnknownMessage;
}

}  // namespace

int32_t queryMessageCount(TableHandle handle, uint32_t* count) noexcept {
    MessageTable* table = nullptr;
    int32_t status = openFrozenTable(handle, count, &table);
    if (status != kSuccess) return status;
    *count = table->messages.size();
    return kSuccess;
}

int32_t queryMessageIds(TableHandle handle, uint32_t* ids) noexcept {
    MessageTable* table = nullptr;
    int32_t status = openFrozenTable(handle, ids, &table);
    if (status != kSuccess) return status;
    uint32_t* next = ids;
    table->messages.forEach([&next](uint32_t id, const MessageRecord&) { *next++ = id; });
    return kSuccess;
}

int32_t queryMessageSize(TableHandle handle, uint32_t messageId, uint8_t* size) noexcept {
    const MessageRecord* message = nullptr;
    int32_t status = findInFrozenTable(handle, messageId, size, &message);
    if (status != kSuccess) return status;
    *size = static_cast<uint8_t>(message->payloadSize);
    return kSuccess;
}

int32_t queryChannelCount(TableHandle handle, uint32_t messageId, uint32_t* count) noexcept {
    const MessageRecord* message = nullptr;
    int32_t status = findInFrozenTable(handle, messageId, count, &message);
    if (status != kSuccess) return status;
    *count = static_cast<uint32_t>(message->channels.size());
    return kSuccess;
}

int32_t queryLargestChannelCount(TableHandle handle, uint32_t* count) noexcept {
    if (count == nullptr) return kErrNullArgument;
    MessageTable* table = nullptr;
    int32_t status = validateTableHandle(handle, &table);
    if (status != kSuccess) return status;
    // The table may still be open, so channels could be added on another
    // thread: scan under the lock that guards the adding.
    GlobalLockGuard guard;
    uint32_t largest = 0;
    table->messages.forEach([&largest](uint32_t, const MessageRecord& message) {
        if (message.channels.size() > largest) largest = static_cast<uint32_t>(message.channels.size());
    });
    *count = largest;
    return kSuccess;
}

}  // namespace canxlate
