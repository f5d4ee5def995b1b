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

class FileImport : public TableTest {
protected:
    // Every channel name in the table, message by message.
    std::vector<std::string> allNames() {
        std::vector<std::string> all;
        for (uint32_t id : messageIds())
            for (const auto& name : channelNames(table, id)) all.push_back(name);
        return all;
    }
};

TEST_F(FileImport, BothFormatsLandInFileOrderAndDecode) {
    ASSERT_EQ(addChannelDefinitionFromFile(kDbcPath.c_str(), table), kSuccess);
    ASSERT_EQ(addChannelDefinitionFromFile(kZcdPath.c_str(), table), kSuccess);
    // Message 1 keeps the first Kept and the overlapping channel (no report),
    // but not the second Kept nor Wide (over 52 bits); message 2 (9 bytes) is
    // refused. Bit 31 of 2566844672 is dropped.
    EXPECT_EQ(allNames(), (std::vector<std::string>{"Kept", "Overlap", "Load", "A", "B", "C", "VehicleSpeed", "Temp",
                                                    "Pressure", "Speed m2"}));
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
    const auto copyOfZcd = [](const std::string& name) {
        const std::string path = ::testing::TempDir() + name;
        fs::copy_file(kZcdPath, path, fs::copy_options::overwrite_existing);
        return path;
    };
    fs::create_directories(::testing::TempDir() + "folder.zcd");
    fs::create_directories(::testing::TempDir() + "folder.dbc");
    const std::string broken = copyOfZcd("broken.zcd");
    std::ofstream(broken, std::ios::app) << "<unclosed>";
    const std::string refused[] = {
        "a.z",
        "",
        copyOfZcd("names.ZCD"),
        copyOfZcd("names.zcd.bak"),
        broken,
        ::testing::TempDir() + "does-not-exist.zcd",
        ::testing::TempDir() + "does-not-exist.dbc",
        ::testing::TempDir() + "dir.dbc/",
        ::testing::TempDir() + "folder.zcd",
        ::testing::TempDir() + "folder.dbc",
    };
    for (const auto& path : refused)
        EXPECT_EQ(addChannelDefinitionFromFile(path.c_str(), table), kErrFileFormat) << path;
    EXPECT_TRUE(allNames().empty());
    MessageTableHandle other = 0;
    ASSERT_EQ(createMessageTable(&other), kSuccess);
    const std::string bare = writeFile(".dbc", "BO_ 5 M: 8 X\n SG_ S : 0|8@1+ (1,0) [0|0] \"\" X\n");
    EXPECT_EQ(addChannelDefinitionFromFile(bare.c_str(), other), kSuccess);
    EXPECT_EQ(channelNames(other, 5), (std::vector<std::string>{"S"}));
    EXPECT_EQ(closeMessageTable(other), kSuccess);
}

// Argument faults keep the selection (and its lock) for the next call.
TEST_F(FileImport, SelectionSurvivesArgumentFaults) {
    ASSERT_EQ(inputStringBufferAdd("B"), kSuccess);
    EXPECT_EQ(addChannelDefinitionFromFile(nullptr, table), kErrNullArgument);
    EXPECT_EQ(addChannelDefinitionFromFile(kZcdPath.c_str(), 0), kErrNullArgument);
    EXPECT_EQ(addChannelDefinitionFromFile(kZcdPath.c_str(), table + 8), kErrInvalidTable);
    ASSERT_EQ(addChannelDefinitionFromFile(kZcdPath.c_str(), table), kSuccess);
    EXPECT_EQ(allNames(), (std::vector<std::string>{"B"}));
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

struct SelectionCase {
    const char* what;
    std::vector<const char*> selection;
    std::string file;
    bool frozen;
    int32_t status;
    std::vector<std::string> landed;  // message by message
};

// A selection imports exactly the named channels, in file order, and every
// import past the argument checks consumes it and gives its lock back, also
// when the selection has several names: another thread then imports a
// whole file.
TEST(FileImportSelection, EveryImportConsumesTheSelectionAndFreesTheLock) {
    const SelectionCase cases[] = {
        {".zcd, exact names", {"C", "a", "A"}, kZcdPath, false, kSuccess, {"A", "C"}},
        {".dbc, names with their indicator",
         {"Speed", "Speed m2", "Load"},
         kDbcPath,
         false,
         kSuccess,
         {"Load", "Speed m2"}},
        {"frozen table", {"A", "B"}, kZcdPath, true, kErrTableInUse, {}},
        {"missing file", {"A", "B"}, "missing.zcd", false, kErrFileFormat, {}},
        {"bad file name", {"A", "B"}, "abc.txt", false, kErrFileFormat, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MessageTableHandle table = 0;
        ASSERT_EQ(createMessageTable(&table), kSuccess);
        uint32_t count = 0;
        if (c.frozen) {
            ASSERT_EQ(getNumberOfMessageIDs(table, &count), kSuccess);
        }
        for (const char* name : c.selection) ASSERT_EQ(inputStringBufferAdd(name), kSuccess);
        EXPECT_EQ(addChannelDefinitionFromFile(c.file.c_str(), table), c.status);
        std::vector<std::string> landed;
        ASSERT_EQ(getNumberOfMessageIDs(table, &count), kSuccess);
        std::vector<uint32_t> ids(count + 1);
        ASSERT_EQ(getMessageIDs(table, ids.data()), kSuccess);
        for (uint32_t i = 0; i < count; ++i)
            for (const auto& name : channelNames(table, ids[i])) landed.push_back(name);
        EXPECT_EQ(landed, c.landed);
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
