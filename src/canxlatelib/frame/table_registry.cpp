#include "canxlatelib/frame/table_registry.h"

#include "canxlatelib.h"

namespace canxlate {

TableRegistry* g_tableRegistry = nullptr;

namespace {

// Versions are never reused in the process, not even by another registry.
std::atomic<uint64_t> g_lastRegistryVersion{0};

uint64_t newRegistryVersion() noexcept { return g_lastRegistryVersion.fetch_add(1, std::memory_order_relaxed) + 1; }

struct LastValidation {
    const TableRegistry* registry = nullptr;
    TableHandle handle = 0;
    MessageTable* table = nullptr;
    uint64_t version = 0;
};

thread_local LastValidation t_lastValidation;

}  // namespace

TableRegistry::TableRegistry() : tables_(kInitialRegistryBuckets), version_(newRegistryVersion()) {}

int32_t TableRegistry::validate(TableHandle handle, MessageTable** table) const noexcept {
    if (handle == 0) return kErrNullArgument;
    LastValidation& last = t_lastValidation;
    if (last.handle == handle && last.registry == this && last.version == version_.load(std::memory_order_acquire)) {
        *table = last.table;
        return kSuccess;
    }
    access_.lockShared();
    MessageTable* const* found = tables_.find(handle);
    MessageTable* result = found != nullptr ? *found : nullptr;
    const uint64_t version = version_.load(std::memory_order_relaxed);
    access_.unlockShared();
    if (result == nullptr) return kErrInvalidTable;
    last = {this, handle, result, version};
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
    version_.store(newRegistryVersion(), std::memory_order_release);
    access_.unlockExclusive();
}

void TableRegistry::remove(TableHandle handle) noexcept {
    access_.lockExclusive();
    tables_.remove(handle);
    version_.store(newRegistryVersion(), std::memory_order_release);
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
