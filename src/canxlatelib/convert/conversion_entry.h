// The common entry of the four conversions: pointer checks, handle
// validation, freezing the table, then the message lookup. The table is frozen
// even when the message is absent.
#pragma once

#include <cstdint>

#include "canxlatelib.h"
#include "canxlatelib/frame/message_table.h"
#include "canxlatelib/frame/table_registry.h"

namespace canxlate {

inline int32_t findMessageForConversion(TableHandle handle, uint32_t messageId, const void* input, const void* output,
                                        const MessageRecord** message) noexcept {
    if (input == nullptr || output == nullptr) return kErrNullArgument;
    MessageTable* table = nullptr;
    int32_t status = validateTableHandle(handle, &table);
    if (status != kSuccess) return status;
    table->markInUse();
    *message = table->findMessage(messageId);
    return *message != nullptr ? kSuccess : kWarnMessageNotFound;
}

}  // namespace canxlate
