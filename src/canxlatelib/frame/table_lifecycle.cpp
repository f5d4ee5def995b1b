#include "canxlatelib/frame/table_lifecycle.h"

#include <memory>

#include "canxlatelib.h"
#include "canxlatelib/frame/global_lock.h"

namespace canxlate {

int32_t createTable(TableHandle* handleOut) {
    if (handleOut == nullptr) return kErrNullArgument;
    if (g_tableRegistry == nullptr) return kErrOutOfMemory;
    // Built before the lock is taken; only the registration is guarded.
    auto table = std::make_unique<MessageTable>();
    {
        GlobalLockGuard guard;
        g_tableRegistry->insert(table.get());
    }
    *handleOut = reinterpret_cast<TableHandle>(table.release());
    return kSuccess;
}

int32_t closeTable(TableHandle handle) noexcept {
    GlobalLockGuard guard;
    MessageTable* table = nullptr;
    int32_t status = validateTableHandle(handle, &table);
    if (status != kSuccess) return status;
    // Unregistered before it is freed, so that no validation on another thread
    // can hand out the dying table.
    g_tableRegistry->remove(handle);
    delete table;
    return kSuccess;
}

}  // namespace canxlate
