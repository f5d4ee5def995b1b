// Loading, using, unloading and loading the DLL again gives a fresh, working
// library, and threads starting and ending while it is loaded change nothing
// (the DLL entry point is told of each). The LoadLibrary counterpart of
// library_reload_test.cpp.
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "api_test_support.h"

namespace canxlate::test {
namespace {

struct LoadedLibrary {
    explicit LoadedLibrary(const std::string& path) : module(LoadLibraryA(path.c_str())) {}
    ~LoadedLibrary() {
        if (module != nullptr) FreeLibrary(module);
    }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    template <typename Function>
    Function* get(const char* name) {
        // Through the generic function pointer type, which converts to any other.
        return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    }
    HMODULE module;
};

// The test program links canxlatelib.dll; a copy under another name is a
// separate DLL with objects of its own.
std::string copyOfTheLibrary() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(GetModuleHandleA("canxlatelib.dll"), path, MAX_PATH);
    if (length == 0 || length == MAX_PATH) return {};
    const std::string copy = ::testing::TempDir() + "canxlatelib_reload_copy.dll";
    if (!CopyFileA(path, copy.c_str(), FALSE)) return {};
    return copy;
}

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

    // Threads that start, convert on the table and end: each start and end
    // reaches the DLL entry point, and the table must be as it was.
    const uint8_t payload[8] = {0x34, 0x12};
    std::vector<double> seen(4, 0.0);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&, i] { decode(table, static_cast<uint32_t>(i), payload, &seen[i]); });
    for (std::thread& thread : threads) thread.join();
    for (double value : seen) EXPECT_EQ(value, 0x1234);

    uint32_t messages = 0;
    ASSERT_EQ(count(table, &messages), kSuccess);
    EXPECT_EQ(messages, expectedMessages);
    ASSERT_EQ(close(table), kSuccess);
    EXPECT_EQ(close(table), kErrInvalidTable);
}

TEST(LibraryReload, LoadUseUnloadLoadAgain) {
    const std::string copy = copyOfTheLibrary();
    ASSERT_FALSE(copy.empty()) << "cannot copy canxlatelib.dll, error " << GetLastError();
    for (uint32_t round = 1; round <= 3; ++round) {
        {
            LoadedLibrary library(copy);
            ASSERT_NE(library.module, nullptr) << "LoadLibrary failed, error " << GetLastError();
            ASSERT_NE(library.module, GetModuleHandleA("canxlatelib.dll"));
            useLibrary(library, 200 * round);
        }
        // Really unloaded, so the next round builds everything anew.
        EXPECT_EQ(GetModuleHandleA(copy.c_str()), nullptr);
    }
    DeleteFileA(copy.c_str());
}

}  // namespace
}  // namespace canxlate::test
