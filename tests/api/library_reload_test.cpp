// Loading, using, unloading and loading the library again gives a fresh,
// working library: the process-wide objects are built at load and destroyed
// at unload, and threads starting and ending meanwhile (which Windows reports
// to the DLL entry point) change nothing.
#if defined(_WIN32)
#  include <windows.h>
#else
#  include <dlfcn.h>
#endif

#include <filesystem>
#include <memory>
#include <thread>

#include "api_test_support.h"

namespace canxlate::test {
namespace {

#if defined(_WIN32)
using Module = HMODULE;
Module load(const std::string& path) { return LoadLibraryA(path.c_str()); }
void* symbol(Module module, const char* name) { return reinterpret_cast<void*>(GetProcAddress(module, name)); }
void unload(Module module) { FreeLibrary(module); }
bool loaded(const std::string& path) { return GetModuleHandleA(path.c_str()) != nullptr; }
#else
using Module = void*;
Module load(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }
void* symbol(Module module, const char* name) { return dlsym(module, name); }
void unload(Module module) { dlclose(module); }
bool loaded(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD) != nullptr; }
#endif

// Drives a separately loaded copy of the library from end to end.
void useLibrary(Module library, uint32_t expectedMessages) {
#define BIND(local, name) auto local = reinterpret_cast<decltype(&name)>(symbol(library, #name))
    BIND(create, createMessageTable);
    BIND(add, addNewchannelDefinition);
    BIND(count, getNumberOfMessageIDs);
    BIND(decode, convertFrameToChannel);
    BIND(close, closeMessageTable);
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
            const std::unique_ptr<std::remove_pointer_t<Module>, void (*)(Module)> library(load(copy), unload);
            ASSERT_NE(library, nullptr);
            useLibrary(library.get(), 200 * round);
        }
        // Really unloaded, so the next round builds everything anew.
        EXPECT_FALSE(loaded(copy));
    }
    std::filesystem::remove(copy);
}

}  // namespace
}  // namespace canxlate::test
