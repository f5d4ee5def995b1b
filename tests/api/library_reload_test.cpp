// Loading, using, unloading and loading the library again gives a fresh,
// working library: the process-wide objects are built at load and destroyed
// at unload, and threads starting and ending meanwhile (which Windows reports
// to the DLL entry point) change nothing.
#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <filesystem>
#include <thread>

#include "api_test_support.h"

namespace canxlate::test {
namespace {

#if defined(_WIN32)
using Module = HMODULE;
Module load(const std::string& path) { return LoadLibraryA(path.c_str()); }
void* symbol(Module module, const char* name) { return reinterpret_cast<void*>(GetProcAddress(module, name)); }
void unload(Module module) { FreeLibrary(module); }
bool stillLoaded(const std::string& path) { return GetModuleHandleA(path.c_str()) != nullptr; }
#else
using Module = void*;
Module load(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }
void* symbol(Module module, const char* name) { return dlsym(module, name); }
void unload(Module module) { dlclose(module); }
bool stillLoaded(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD) != nullptr; }
#endif

struct LoadedLibrary {
    explicit LoadedLibrary(const std::string& path) : module(load(path)) {}
    ~LoadedLibrary() {
        if (module != nullptr) unload(module);
    }
    template <typename Function>
    Function* get(const char* name) {
        return reinterpret_cast<Function*>(symbol(module, name));
    }
    Module module;
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
    double seen[4] = {};
    std::vector<std::thread> threads;
    for (uint32_t i = 0; i < 4; ++i) threads.emplace_back([&, i] { decode(table, i, payload, &seen[i]); });
    for (std::thread& thread : threads) thread.join();
    for (double value : seen) EXPECT_EQ(value, 0x1234);
    ASSERT_EQ(close(table), kSuccess);
    EXPECT_EQ(close(table), kErrInvalidTable);
}

TEST(LibraryReload, LoadUseUnloadLoadAgain) {
    // The test program links the library too; a copy under another name is a
    // separate library with objects of its own.
    const std::filesystem::path original(CANXLATE_LIBRARY_PATH);
    const std::string copy = ::testing::TempDir() + "canxlatelib_reload_copy" + original.extension().string();
    std::filesystem::copy_file(original, copy, std::filesystem::copy_options::overwrite_existing);
    for (uint32_t round = 1; round <= 3; ++round) {
        {
            LoadedLibrary library(copy);
            ASSERT_NE(library.module, nullptr);
            useLibrary(library, 200 * round);
        }
        // Really unloaded, so the next round builds everything anew.
        EXPECT_FALSE(stillLoaded(copy));
    }
    std::filesystem::remove(copy);
}

}  // namespace
}  // namespace canxlate::test
