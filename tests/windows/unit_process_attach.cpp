// The unit tests link the library's objects into the test program itself,
// where Windows never calls the DLL entry point. Attach the process around
// the tests as loading the DLL would, so the global lock and the registry
// exist as they do on Linux, where the library constructor runs in any image.
#include <gtest/gtest.h>

#include "frame/library_lifecycle.h"

namespace canxlate {
namespace {

class ProcessAttach : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(attachProcess()); }
    void TearDown() override { detachProcess(); }
};

const ::testing::Environment* const g_processAttach = ::testing::AddGlobalTestEnvironment(new ProcessAttach);

}  // namespace
}  // namespace canxlate
