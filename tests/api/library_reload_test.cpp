// Loading, using, unloading and loading the library again gives a fresh,
// working library: the process-wide objects are built at load and destroyed
// at unload.
#include <dlfcn.h>

#include "api_test_support.h"

namespace canxlate::test {
namespace {

struct LoadedLibrary {
    explicit LoadedLibrary(const char* path) : handle(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {}
    ~LoadedLibrary() {
        if (handle != nullptr) dlclose(handle);
    }
    template <typename Function>
    Function* get(const char* name) {
        return reinterpret_cast<Function*>(dlsym(handle, name));
    }
    void* handle;
};

// Drives a separately loaded copy of the library from end to end.
void useLibrary(LoadedLibrary& library, uint32_t expectedMessages) {
    auto create = library.get<decltype(createMessageTable)>("createMessageTable");
    auto add = library.get<decltype(addNewchannelDefinition)>("addNewchannelDefinition");
    auto count = library.get<decltype(getNumberOfMessageIDs)>("getNumberOfMessageIDs");
    auto decode = library.get<decltype(convertFrameToChannel)>("convertFrameToChannel");
    auto close = library.get<decltype(closeMessageTable)>("closeMessageTable");
    ASSERT_TRUE(create && add && count && decode && close);
    MessageTableHandle table = 0;
    ASSERT_EQ(create(&table), kSuccess);
    for (uint32_t id = 0; id < expectedMessages; ++id)
        ASSERT_EQ(add(table, "v", "", 0, 16, kDataTypeUnsigned, kByteOrderIntel, 1, 0, 0, 0, id, 8), kSuccess);
    uint32_t messages = 0;
    ASSERT_EQ(count(table, &messages), kSuccess);
    EXPECT_EQ(messages, expectedMessages);
    const uint8_t payload[8] = {0x34, 0x12};
    double value = 0;
    ASSERT_EQ(decode(table, 0, payload, &value), kSuccess);
    EXPECT_EQ(value, 0x1234);
    ASSERT_EQ(close(table), kSuccess);
    EXPECT_EQ(close(table), kErrInvalidTable);
}

TEST(LibraryReload, LoadUseUnloadLoadAgain) {
    // The test binary links the library too; a copy under another name is a
    // separate library with objects of its own.
    const std::string copy = ::testing::TempDir() + "canxlatelib_reload_copy.so";
    {
        std::FILE* in = std::fopen(CANXLATE_LIBRARY_PATH, "rb");
        std::FILE* out = std::fopen(copy.c_str(), "wb");
        ASSERT_TRUE(in && out);
        char buffer[65536];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) std::fwrite(buffer, 1, n, out);
        std::fclose(in);
        std::fclose(out);
    }
    for (uint32_t round = 1; round <= 3; ++round) {
        {
            LoadedLibrary library(copy.c_str());
            ASSERT_NE(library.handle, nullptr) << dlerror();
            useLibrary(library, 200 * round);
        }
        // Really unloaded, so the next round builds everything anew.
        EXPECT_EQ(dlopen(copy.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
    }
    std::remove(copy.c_str());
}

}  // namespace
}  // namespace canxlate::test
