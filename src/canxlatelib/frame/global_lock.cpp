#include "canxlatelib/frame/global_lock.h"

#include <new>

namespace canxlate {

GlobalLock* g_globalLock = nullptr;

bool createGlobalLock(StatusRecord& record) noexcept {
    auto* lock = new (std::nothrow) GlobalLock;
    if (lock == nullptr) {
        // Without a lock object no export could be guarded: fail the load.
        record.recordLockFailure(__FILE__, __LINE__);
        return false;
    }
    if (record.code >= 0 && !lock->section.initialise()) record.recordLockFailure(__FILE__, __LINE__);
    lock->initialised = record.code >= 0;
    g_globalLock = lock;
    return lock->initialised;
}

void destroyGlobalLock() noexcept {
    if (g_globalLock != nullptr) {
        if (g_globalLock->initialised) g_globalLock->section.destroy();
        delete g_globalLock;
    }
    g_globalLock = nullptr;
}

bool enterLock(GlobalLock* lock, StatusRecord& record) noexcept {
    if (record.code < 0) return false;
    if (lock == nullptr || !lock->initialised || !lock->section.enter()) {
        record.recordLockFailure(__FILE__, __LINE__);
        return false;
    }
    return true;
}

void leaveLock(GlobalLock* lock) noexcept { lock->section.leave(); }

}  // namespace canxlate
