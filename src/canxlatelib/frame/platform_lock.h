// The operating system's locks, behind one small interface so that each
// platform supplies its own implementation file.
#pragma once

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <pthread.h>
#endif

namespace canxlate::platform {

// Re-entrant lock owned by one thread at a time; the owner may enter again and
// must leave once per successful enter.
class RecursiveLock {
public:
    bool initialise() noexcept;  // false: the lock cannot be used
    void destroy() noexcept;
    bool enter() noexcept;  // false: the lock is not held by this call
    void leave() noexcept;

private:
#if defined(_WIN32)
    CRITICAL_SECTION section_;
#else
    pthread_mutex_t mutex_;
#endif
};

// Many readers or one writer. Writers are preferred, so that a stream of
// readers cannot starve a table being created or closed.
class SharedExclusiveLock {
public:
    SharedExclusiveLock() noexcept;
    ~SharedExclusiveLock();
    SharedExclusiveLock(const SharedExclusiveLock&) = delete;
    SharedExclusiveLock& operator=(const SharedExclusiveLock&) = delete;

    void lockShared() noexcept;
    void unlockShared() noexcept;
    void lockExclusive() noexcept;
    void unlockExclusive() noexcept;

private:
#if defined(_WIN32)
    SRWLOCK lock_;
#else
    pthread_rwlock_t lock_;
#endif
};

}  // namespace canxlate::platform
