// The registry of live tables: every handle that createMessageTable handed out
// and closeMessageTable has not taken back. Handles are addresses, so keys are
// pointer-sized and use their full width.
//
// Changes happen under the global lock and, in addition, exclusively on the
// registry's own reader-writer lock; validation only takes that lock shared.
// So validation is safe against tables being created and closed on other
// threads, while conversions on different threads never wait for each other.
//
// Every change gives the registry a new version, unique in the process. Each
// thread remembers the last handle it validated with the version it saw
// then: while the version stands, the same handle is valid without touching
// the lock, which keeps repeated conversions on one table free of writes to
// shared memory.
#pragma once

#include <atomic>
#include <cstdint>

#include "canxlatelib/frame/hash_map.h"
#include "canxlatelib/frame/message_table.h"
#include "canxlatelib/frame/platform_lock.h"

namespace canxlate {

using TableHandle = uintptr_t;

inline constexpr uint32_t kInitialRegistryBuckets = 193;

class TableRegistry {
public:
    TableRegistry();

    // kSuccess with the table, kErrNullArgument for 0, kErrInvalidTable for a
    // value that is not registered.
    int32_t validate(TableHandle handle, MessageTable** table) const noexcept;

    // Callers hold the global lock. insert throws std::bad_alloc and then
    // leaves the registry unchanged.
    void insert(MessageTable* table);
    void remove(TableHandle handle) noexcept;

    uint32_t bucketCount() const noexcept;

private:
    mutable platform::SharedExclusiveLock access_;
    HashMap<TableHandle, MessageTable*> tables_;
    std::atomic<uint64_t> version_;
};

// Null before load and after unload.
extern TableRegistry* g_tableRegistry;

// Validation against the process-wide registry.
int32_t validateTableHandle(TableHandle handle, MessageTable** table) noexcept;

}  // namespace canxlate
