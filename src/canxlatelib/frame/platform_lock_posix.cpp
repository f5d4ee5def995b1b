#if !defined(_WIN32)
#  include "canxlatelib/frame/platform_lock.h"

namespace canxlate::platform {

bool RecursiveLock::initialise() noexcept {
    pthread_mutexattr_t attributes;
    if (pthread_mutexattr_init(&attributes) != 0) return false;
    bool ok = pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE) == 0 &&
              pthread_mutex_init(&mutex_, &attributes) == 0;
    pthread_mutexattr_destroy(&attributes);
    return ok;
}

void RecursiveLock::destroy() noexcept { pthread_mutex_destroy(&mutex_); }

// pthread reports a failed enter (for instance an exhausted recursion count)
// through its result, never by raising.
bool RecursiveLock::enter() noexcept { return pthread_mutex_lock(&mutex_) == 0; }

void RecursiveLock::leave() noexcept { pthread_mutex_unlock(&mutex_); }

SharedExclusiveLock::SharedExclusiveLock() noexcept {
    pthread_rwlockattr_t attributes;
    pthread_rwlockattr_init(&attributes);
#  if defined(__GLIBC__)
    pthread_rwlockattr_setkind_np(&attributes, PTHREAD_RWLOCK_PREFER_WRITER_NONRECURSIVE_NP);
#  endif
    // A process-private rwlock needs no resources: its initialisation cannot fail.
    pthread_rwlock_init(&lock_, &attributes);
    pthread_rwlockattr_destroy(&attributes);
}

SharedExclusiveLock::~SharedExclusiveLock() { pthread_rwlock_destroy(&lock_); }

void SharedExclusiveLock::lockShared() noexcept { pthread_rwlock_rdlock(&lock_); }
void SharedExclusiveLock::unlockShared() noexcept { pthread_rwlock_unlock(&lock_); }
void SharedExclusiveLock::lockExclusive() noexcept { pthread_rwlock_wrlock(&lock_); }
void SharedExclusiveLock::unlockExclusive() noexcept { pthread_rwlock_unlock(&lock_); }

}  // namespace canxlate::platform
#endif
