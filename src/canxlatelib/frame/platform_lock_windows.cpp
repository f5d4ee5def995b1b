#if defined(_WIN32)
#  include "canxlatelib/frame/platform_lock.h"

namespace canxlate::platform {

// Since Windows Vista InitializeCriticalSection cannot fail: it no longer
// allocates anything that could run out (older versions raised
// STATUS_NO_MEMORY). The initialisation is therefore always usable.
bool RecursiveLock::initialise() noexcept {
    InitializeCriticalSection(&section_);
    return true;
}

void RecursiveLock::destroy() noexcept { DeleteCriticalSection(&section_); }

// The library is built with GCC, which has no __try/__except, so the enter
// cannot be wrapped in a guard that catches STATUS_INVALID_HANDLE. Before
// Vista that exception came from the wait semaphore that a critical section
// created on its first contention; since Vista a critical section waits on a
// keyed event and EnterCriticalSection on an initialised section cannot fail.
// A failed enter is therefore detected only for a lock that is missing or was
// never initialised, which the global lock checks before it gets here. An
// exception the system still raised would pass up to the caller, as every
// exception other than STATUS_INVALID_HANDLE does anyway.
bool RecursiveLock::enter() noexcept {
    EnterCriticalSection(&section_);
    return true;
}

void RecursiveLock::leave() noexcept { LeaveCriticalSection(&section_); }

// A slim reader-writer lock needs no resources and no clean-up. A shared
// request waits behind an exclusive one that is already waiting, so a stream
// of readers cannot starve a writer.
SharedExclusiveLock::SharedExclusiveLock() noexcept { InitializeSRWLock(&lock_); }

SharedExclusiveLock::~SharedExclusiveLock() = default;

void SharedExclusiveLock::lockShared() noexcept { AcquireSRWLockShared(&lock_); }
void SharedExclusiveLock::unlockShared() noexcept { ReleaseSRWLockShared(&lock_); }
void SharedExclusiveLock::lockExclusive() noexcept { AcquireSRWLockExclusive(&lock_); }
void SharedExclusiveLock::unlockExclusive() noexcept { ReleaseSRWLockExclusive(&lock_); }

}  // namespace canxlate::platform
#endif
