#include "frame/table_registry.h"

#include "canxlatelib.h"

namespace canxlate {

TableRegistry* g_tableRegistry = nullptr;

int32_t TableRegistry::validate(TableHandle handle, MessageTable** table) const noexcept {
    if (handle == 0) return kErrNullArgument;
    access_.lockShared();
    MessageTable* const* found = tables_.find(handle);
    MessageTable* result = found != nullptr ? *found : nullptr;
    access_.unlockShared();
    if (result == nullptr) return kErrInvalidTable;
    *table = result;
    return kSuccess;
}

void TableRegistry::insert(MessageTable* table) {
    access_.lockExclusive();
    try {
        tables_.insert(reinterpret_cast<TableHandle>(table), std::move(table));
    } catch (...) {
        access_.unlockExclusive();
        throw;
    }
    access_.unlockExclusive();
}

void TableRegistry::remove(TableHandle handle) noexcept {
    access_.lockExclusive();
    tables_.remove(handle);
    access_.unlockExclusive();
}

uint32_t TableRegistry::bucketCount() const noexcept {
    access_.lockShared();
    uint32_t count = tables_.bucketCount();
    access_.unlockShared();
    return count;
}

int32_t validateTableHandle(TableHandle handle, MessageTable** table) noexcept {
    if (handle == 0) return kErrNullArgument;
    if (g_tableRegistry == nullptr) return kErrInvalidTable;
    return g_tableRegistry->validate(handle, table);
}

}  // namespace canxlate
