// Importing ".dbc" and ".zcd" files through the C interface: what lands in
// the table, the statuses, and the channel selection protocol with its lock.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <thread>

#include "api_test_support.h"

namespace canxlate::test {
namespace {

// Channels A, B, C of message 256; messages 100 and 419361024 with four and
// one channel, and some refused channels.
const std::string kZcdPath = CANXLATE_TEST_DATA_DIR "/../api/data/abc.zcd";
const std::string kDbcPath = CANXLATE_TEST_DATA_DIR "/../api/data/sample.dbc";

using FileImport = TableTest;

TEST_F(FileImport, BothFormatsLandInFileOrderAndDecode) {
    ASSERT_EQ(addChannelDefinitionFromFile(kDbcPath.c_str(), table), kSuccess);
    ASSERT_EQ(addChannelDefinitionFromFile(kZcdPath.c_str(), table), kSuccess);
    // Message 1 keeps the first Kept and the overlapping channel (no report),
    // but not the second Kept nor Wide (over 52 bits); message 2 (9 bytes) is
    // refused. Bit 31 of 2566844672 is dropped.
    EXPECT_EQ(allChannelNames(table), (std::vector<std::string>{"Kept", "Overlap", "Load", "A", "B", "C",
                                                                "VehicleSpeed", "Temp", "Pressure", "Speed m2"}));
    const Payload payload = {0xFF, 0x20, 0xF6, 0x10, 0x00, 0x00, 0x20, 0x40};  // Pressure: 2.5f in bytes 4..7
    const auto values = decode(payload, 100);
    EXPECT_EQ(values[0], 0x10 * 0.01);          // Intel 24|16 reaches into byte 4
    EXPECT_EQ(values[1], 0x20F * 0.1 + -40.0);  // Motorola 15|12: bytes 1..2, bits 4..15 of 0x20F6
    EXPECT_EQ(values[2], 2.5);                  // a float by its value type line
    EXPECT_EQ(values[3], 0x20);
    uint8_t size = 0;
    EXPECT_EQ(getMessageSize(table, 100, &size), kSuccess);
    EXPECT_EQ(size, 8);
    EXPECT_EQ(decode({10, 0xFE, 0x03, 0x00}, 256), (std::vector<double>{5.0, -2.0, 0x0300 + -1.5}));
}

// Bad names and files add nothing; a file name is judged by its last four
// characters, byte for byte.
TEST_F(FileImport, FileNamesAndUnreadableFiles) {
    namespace fs = std::filesystem;
    const std::string dir = ::testing::TempDir();
    for (const char* name : {"names.ZCD", "names.zcd.bak", "broken.zcd"})
        fs::copy_file(kZcdPath, dir + name, fs::copy_options::overwrite_existing);
    std::ofstream(dir + "broken.zcd", std::ios::app) << "<unclosed>";
    fs::create_directories(dir + "folder.zcd");
    fs::create_directories(dir + "folder.dbc");
    for (const std::string name : {"names.ZCD", "names.zcd.bak", "broken.zcd", "missing.zcd", "missing.dbc", "dir.dbc/",
                                   "folder.zcd", "folder.dbc"})
        EXPECT_EQ(addChannelDefinitionFromFile((dir + name).c_str(), table), kErrFileFormat) << name;
    EXPECT_EQ(addChannelDefinitionFromFile("", table), kErrFileFormat);
    EXPECT_EQ(addChannelDefinitionFromFile("a.z", table), kErrFileFormat);
    uint32_t largest = 0;
    EXPECT_EQ(getLargestNumberOfChannels(table, &largest), kSuccess);
    EXPECT_EQ(largest, 0u);
    const std::string bare = writeFile(".dbc", "BO_ 5 M: 8 X\n SG_ S : 0|8@1+ (1,0) [0|0] \"\" X\n");
    EXPECT_EQ(addChannelDefinitionFromFile(bare.c_str(), table), kSuccess);
    EXPECT_EQ(allChannelNames(table), (std::vector<std::string>{"S"}));
}

// Runs `call` on another thread and waits for it. A lock that is never given
// back would leave it waiting for good, and every later test with it.
void runOnAnotherThread(const std::function<void()>& call) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    std::thread([call, done] {
        call();
        done->set_value();
    }).detach();
    if (finished.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        std::fprintf(stderr, "another thread still waits for the library's lock\n");
        std::_Exit(EXIT_FAILURE);
    }
}

enum Before { kNothing, kFreeze, kArgumentFaults };

struct SelectionCase {
    const char* what;
    std::vector<const char*> selection;
    Before before;
    std::string file;
    int32_t status;
    std::vector<std::string> landed;  // message by message
};

// A selection imports exactly the named channels, in file order. Argument
// faults keep it (and its lock) for the next call; every other import
// consumes it and gives its lock back, also for several names: another
// thread then imports a whole file.
TEST(FileImportSelection, EveryImportConsumesTheSelectionAndFreesTheLock) {
    // clang-format off
    const SelectionCase cases[] = {
        {".zcd, exact names", {"C", "a", "A"}, kNothing, kZcdPath, kSuccess, {"A", "C"}},
        {".dbc, names with their indicator", {"Speed", "Speed m2", "Load"}, kNothing, kDbcPath, kSuccess, {"Load", "Speed m2"}},
        {"after argument faults", {"B"}, kArgumentFaults, kZcdPath, kSuccess, {"B"}},
        {"frozen table", {"A", "B"}, kFreeze, kZcdPath, kErrTableInUse, {}},
        {"missing file", {"A", "B"}, kNothing, "missing.zcd", kErrFileFormat, {}},
        {"bad file name", {"A", "B"}, kNothing, "abc.txt", kErrFileFormat, {}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MessageTableHandle table = 0;
        ASSERT_EQ(createMessageTable(&table), kSuccess);
        for (const char* name : c.selection) ASSERT_EQ(inputStringBufferAdd(name), kSuccess);
        uint32_t count = 0;
        if (c.before == kFreeze) {
            ASSERT_EQ(getNumberOfMessageIDs(table, &count), kSuccess);
        } else if (c.before == kArgumentFaults) {
            EXPECT_EQ(addChannelDefinitionFromFile(nullptr, table), kErrNullArgument);
            EXPECT_EQ(addChannelDefinitionFromFile(c.file.c_str(), 0), kErrNullArgument);
            EXPECT_EQ(addChannelDefinitionFromFile(c.file.c_str(), table + 8), kErrInvalidTable);
        }
        EXPECT_EQ(addChannelDefinitionFromFile(c.file.c_str(), table), c.status);
        EXPECT_EQ(allChannelNames(table), c.landed);
        EXPECT_EQ(closeMessageTable(table), kSuccess);
        uint32_t channels = 0;
        runOnAnotherThread([&] {
            MessageTableHandle fresh = 0;
            EXPECT_EQ(createMessageTable(&fresh), kSuccess);
            EXPECT_EQ(addChannelDefinitionFromFile(kZcdPath.c_str(), fresh), kSuccess);
            EXPECT_EQ(getNumberOfChannels(fresh, 256, &channels), kSuccess);
            EXPECT_EQ(closeMessageTable(fresh), kSuccess);
        });
        EXPECT_EQ(channels, 3u);
    }
}

// While one thread's selection is pending it holds the library's lock: other
// threads' guarded calls wait for its import.
TEST(FileImportSelection, OtherThreadsWaitForThePendingImport) {
    MessageTableHandle table = 0;
    ASSERT_EQ(createMessageTable(&table), kSuccess);
    ASSERT_EQ(inputStringBufferAdd("A"), kSuccess);
    std::atomic<bool> otherDone{false};
    std::thread other([&] {
        EXPECT_EQ(inputStringBufferAdd("B"), kSuccess);  // waits, then starts a selection of its own
        otherDone = true;
        MessageTableHandle own = 0;
        EXPECT_EQ(createMessageTable(&own), kSuccess);
        EXPECT_EQ(addChannelDefinitionFromFile(kZcdPath.c_str(), own), kSuccess);
        EXPECT_EQ(channelNames(own, 256), (std::vector<std::string>{"B"}));
        EXPECT_EQ(closeMessageTable(own), kSuccess);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(otherDone.load());
    ASSERT_EQ(addChannelDefinitionFromFile(kZcdPath.c_str(), table), kSuccess);
    other.join();
    EXPECT_EQ(channelNames(table, 256), (std::vector<std::string>{"A"}));
    EXPECT_EQ(closeMessageTable(table), kSuccess);
}

}  // namespace
}  // namespace canxlate::test
