// The global lock's failure recording and re-entrancy, on either platform's
// system lock.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "canxlatelib/frame/global_lock.h"
#include "canxlatelib/frame/library_lifecycle.h"

namespace canxlate {
namespace {

// A failed enter is written into the record: all of it when the record is
// large enough, else only the code; a long source path is cut to its field.
TEST(GlobalLock, FailedEnterIsRecordedOnceAndNotHeld) {
    GlobalLock neverInitialised{};
    StatusRecord uninitialised, small, record, longPath;
    small.size = 100;
    EXPECT_FALSE(enterLock(&neverInitialised, uninitialised));
    EXPECT_FALSE(enterLock(nullptr, small));
    EXPECT_FALSE(enterLock(nullptr, record));
    for (const StatusRecord* failed : {&uninitialised, &small, &record}) EXPECT_EQ(failed->code, kErrLockFailed);
    EXPECT_EQ(small.component[0], '\0');
    EXPECT_EQ(small.line, 0);
    EXPECT_EQ(std::string(record.component, sizeof record.component), std::string("canxlateli"));
    EXPECT_NE(std::strstr(record.sourceFile, "global_lock"), nullptr);
    EXPECT_GT(record.line, 0);
    EXPECT_EQ(record.extra, 0u);
    longPath.recordLockFailure(std::string(300, 'p').c_str(), 12);
    EXPECT_EQ(std::strlen(longPath.sourceFile), sizeof longPath.sourceFile - 1);
    EXPECT_EQ(longPath.line, 12);

    // Later operations on a failed record are skipped, even on a good lock.
    record.line = -7;
    EXPECT_FALSE(enterLock(g_globalLock, record));
    EXPECT_EQ(record.line, -7);
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
}

#if defined(_WIN32)
// The library's objects are linked into this program, where Windows never
// calls the DLL entry point: attach the process around the tests as a load
// would (on Linux the library constructor runs here too).
class ProcessAttach : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(attachProcess()); }
    void TearDown() override { detachProcess(); }
};
const ::testing::Environment* const g_processAttach = ::testing::AddGlobalTestEnvironment(new ProcessAttach);
#endif

}  // namespace
}  // namespace canxlate
