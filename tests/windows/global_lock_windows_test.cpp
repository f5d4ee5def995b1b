// The global lock on critical sections. Replaces the pthread-based
// re-entrancy test, which reaches into the Linux lock.
#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

#include "frame/global_lock.h"

namespace canxlate {
namespace {

// RecursiveLock holds nothing but its critical section (a standard-layout
// class and its first member share the address), so another thread can try
// the section itself without waiting for it.
bool anotherThreadCanEnter(GlobalLock& lock) {
    auto* section = reinterpret_cast<CRITICAL_SECTION*>(&lock.section);
    bool entered = false;
    std::thread other([&] {
        entered = TryEnterCriticalSection(section) != 0;
        if (entered) LeaveCriticalSection(section);
    });
    other.join();
    return entered;
}

TEST(GlobalLock, ReentrantForItsOwnerAndExclusiveToOthers) {
    ASSERT_NE(g_globalLock, nullptr);
    {
        GlobalLockGuard outer;
        ASSERT_TRUE(outer.held());
        {
            GlobalLockGuard inner;
            ASSERT_TRUE(inner.held());
            EXPECT_FALSE(anotherThreadCanEnter(*g_globalLock));
        }
        // Left once, entered once more: still this thread's.
        EXPECT_FALSE(anotherThreadCanEnter(*g_globalLock));
    }
    EXPECT_TRUE(anotherThreadCanEnter(*g_globalLock));

    bool otherGotIt = false;
    std::thread other([&] {
        GlobalLockGuard guard;
        otherGotIt = guard.held();
    });
    other.join();
    EXPECT_TRUE(otherGotIt);
}

// Without an exception guard around EnterCriticalSection, a lock that was
// never initialised is what the enter can detect: it is refused before the
// section is touched.
TEST(GlobalLock, UninitialisedLockIsRefusedAndRecorded) {
    GlobalLock neverInitialised;
    StatusRecord record;
    EXPECT_FALSE(enterLock(&neverInitialised, record));
    EXPECT_EQ(record.code, kErrLockFailed);
    EXPECT_GT(record.line, 0);
}

}  // namespace
}  // namespace canxlate
