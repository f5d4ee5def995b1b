// The one process-wide lock. It guards the table registry's changes, the
// adding of definitions, the channel selection, the channel name list and the
// one-time marking of a table in use. Every guarded stretch follows one idiom:
// enter, work, leave exactly once on every path out if the enter succeeded.
#pragma once

#include "canxlatelib/frame/platform_lock.h"
#include "canxlatelib/frame/status_record.h"

namespace canxlate {

struct GlobalLock {
    platform::RecursiveLock section;
    bool initialised = false;
};

// Null before load and after unload.
extern GlobalLock* g_globalLock;

// Load: allocates and initialises the lock and publishes it. False when the
// lock cannot be used (the load then fails); failures go into the record.
bool createGlobalLock(StatusRecord& record) noexcept;
// Unload: deletes and frees the lock; the pointer becomes null.
void destroyGlobalLock() noexcept;

// True when the lock is now held by this call. Does nothing when the record
// already holds a failure; a failed enter is written into the record.
bool enterLock(GlobalLock* lock, StatusRecord& record) noexcept;
void leaveLock(GlobalLock* lock) noexcept;

// The guard idiom for the process-wide lock.
class GlobalLockGuard {
public:
    GlobalLockGuard() noexcept : held_(enterLock(g_globalLock, record_)) {}
    ~GlobalLockGuard() {
        if (held_) leaveLock(g_globalLock);
    }
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;

    bool held() const noexcept { return held_; }
    const StatusRecord& record() const noexcept { return record_; }

private:
    StatusRecord record_;
    bool held_;
};

}  // namespace canxlate
