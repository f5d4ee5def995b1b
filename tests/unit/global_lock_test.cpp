// The global lock's failure recording and re-entrancy, on either platform's
// system lock.
#include "frame/global_lock.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "frame/library_lifecycle.h"

namespace canxlate {
namespace {

TEST(GlobalLock, FailedEnterIsRecordedOnceAndNotHeld) {
    GlobalLock neverInitialised{};
    StatusRecord unusable;
    EXPECT_FALSE(enterLock(&neverInitialised, unusable));
    EXPECT_EQ(unusable.code, kErrLockFailed);

    StatusRecord record;
    EXPECT_FALSE(enterLock(nullptr, record));
    EXPECT_EQ(record.code, kErrLockFailed);
    EXPECT_EQ(std::string(record.component, sizeof record.component), std::string("canxlateli"));
    EXPECT_NE(std::strstr(record.sourceFile, "global_lock"), nullptr);
    EXPECT_GT(record.line, 0);
    EXPECT_EQ(record.extra, 0u);

    // Later operations on a failed record are skipped, even on a good lock.
    record.line = -7;
    EXPECT_FALSE(enterLock(g_globalLock, record));
    EXPECT_EQ(record.line, -7);
}

TEST(GlobalLock, SmallRecordGetsOnlyTheCode) {
    StatusRecord record;
    record.size = 100;
    EXPECT_FALSE(enterLock(nullptr, record));
    EXPECT_EQ(record.code, kErrLockFailed);
    EXPECT_EQ(record.component[0], '\0');
    EXPECT_EQ(record.line, 0);
}

TEST(GlobalLock, ComponentAndPathAreCutToTheirFields) {
    StatusRecord record;
    const std::string longPath(300, 'p');
    record.recordLockFailure(longPath.c_str(), 12);
    EXPECT_EQ(std::strlen(record.sourceFile), sizeof record.sourceFile - 1);
    EXPECT_EQ(record.line, 12);
}

// Tries the lock's system object itself from another thread: a plain enter
// would wait for this one.
bool anotherThreadCanEnter() {
    auto* section = &g_globalLock->section;
    bool entered = false;
    std::thread other([&] {
#if defined(_WIN32)
        auto* critical = reinterpret_cast<CRITICAL_SECTION*>(section);
        if ((entered = TryEnterCriticalSection(critical) != 0)) LeaveCriticalSection(critical);
#else
        auto* mutex = reinterpret_cast<pthread_mutex_t*>(section);
        if ((entered = pthread_mutex_trylock(mutex) == 0)) pthread_mutex_unlock(mutex);
#endif
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
            EXPECT_FALSE(anotherThreadCanEnter());
        }
        // Entered twice, left once: still this thread's.
        EXPECT_FALSE(anotherThreadCanEnter());
    }
    EXPECT_TRUE(anotherThreadCanEnter());
    bool otherGotIt = false;
    std::thread other([&] {
        GlobalLockGuard guard;
        otherGotIt = guard.held();
    });
    other.join();
    EXPECT_TRUE(otherGotIt);
}

#if defined(_WIN32)
// The unit tests link the library's objects into the program itself, where
// Windows never calls the DLL entry point. Attach the process around the
// tests as loading the DLL would, as the library constructor does on Linux.
class ProcessAttach : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(attachProcess()); }
    void TearDown() override { detachProcess(); }
};
const ::testing::Environment* const g_processAttach = ::testing::AddGlobalTestEnvironment(new ProcessAttach);
#endif

}  // namespace
}  // namespace canxlate
