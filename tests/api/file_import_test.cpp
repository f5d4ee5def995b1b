// Importing ".dbc" and ".zcd" files through the C interface: what lands in
// the table, the statuses, and the channel selection protocol with its lock.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "api_test_support.h"

namespace canxlate::test {
namespace {

std::string writeFile(const std::string& name, const std::string& content) {
    const std::string path = ::testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

const char* const kZcdABC = R"(<?xml version="1.0"?>
<zecan_config>
<message>
<id>256</id>
<bytes>8</bytes>
<channel name="A"><bitfield start="0" bits="8" order="0" type="1"/><linear_scaling factor="0.5" unit="V"/></channel>
<channel name="B"><bitfield start="8" bits="8" order="0" type="0"/></channel>
<channel name="C"><bitfield start="24" bits="16" order="1" type="1"/><linear_scaling offset="-1,5"/></channel>
</message>
</zecan_config>
)";

const char* const kDbcSample =
    "BO_ 100 EngineData: 8 ECU\n"
    " SG_ VehicleSpeed : 24|16@1+ (0.01,0) [0|655.35] \"km/h\" Dashboard\n"
    " SG_ Temp : 15|12@0- (0.1,-40) [-40|215] \"degC\" Dashboard\n"
    " SG_ Pressure : 32|32@1- (1,0) [0|0] \"bar\" Dashboard\n"
    " SG_ Speed m2 : 8|8@1+ (1,0) [0|255] \"\" Dashboard\n"
    "BO_ 2566844672 Engine2: 8 ECU\n"
    " SG_ Load : 0|8@1+ (1,0) [0|100] \"%\" Dashboard\n"
    "SIG_VALTYPE_ 100 Pressure : 1;\n";

class FileImport : public TableTest {
protected:
    std::vector<std::string> names(uint32_t messageId) {
        uint32_t count = 0;
        char** array = nullptr;
        if (xcvtGetChannelNames(table, messageId, &count, &array) != kSuccess) return {"<unknown message>"};
        std::vector<std::string> result(array, array + count);
        xcvtDeleteArray(array, count);
        return result;
    }
    uint32_t channelCount() {
        uint32_t largest = 0;
        EXPECT_EQ(getLargestNumberOfChannels(table, &largest), kSuccess);
        return largest;
    }
};

TEST_F(FileImport, DbcSampleLandsInFileOrderAndDecodes) {
    const std::string path = writeFile("sample.dbc", kDbcSample);
    ASSERT_EQ(addChannelDefinitionFromFile(path.c_str(), table), kSuccess);
    EXPECT_EQ(names(100), (std::vector<std::string>{"VehicleSpeed", "Temp", "Pressure", "Speed m2"}));
    EXPECT_EQ(names(419361024), (std::vector<std::string>{"Load"}));  // bit 31 of 2566844672 dropped
    const Payload payload = {0xFF, 0x20, 0xF6, 0x10, 0x00, 0x00, 0x20, 0x40};  // Pressure: 2.5f at bytes 4..7
    const auto values = decode(payload, 100);
    EXPECT_EQ(values[0], 0x10 * 0.01);         // Intel 24|16 reaches into byte 4
    EXPECT_EQ(values[1], 0x20F * 0.1 + -40.0);  // Motorola 15|12: bytes 1..2, bits 4..15 of 0x20F6
    EXPECT_EQ(values[2], 2.5);                 // float by its value type line
    EXPECT_EQ(values[3], 0x20);
    uint8_t size = 0;
    EXPECT_EQ(getMessageSize(table, 100, &size), kSuccess);
    EXPECT_EQ(size, 8);
}

TEST_F(FileImport, ZcdChannelsLandWithTheirScaling) {
    const std::string path = writeFile("abc.zcd", kZcdABC);
    ASSERT_EQ(addChannelDefinitionFromFile(path.c_str(), table), kSuccess);
    EXPECT_EQ(names(256), (std::vector<std::string>{"A", "B", "C"}));
    const auto values = decode({10, 0xFE, 0x03, 0x00}, 256);
    EXPECT_EQ(values, (std::vector<double>{5.0, -2.0, 0x0300 + -1.5}));
}

TEST_F(FileImport, SelectionPicksExactNamesInFileOrder) {
    const std::string path = writeFile("select.zcd", kZcdABC);
    ASSERT_EQ(inputStringBufferAdd("C"), kSuccess);
    ASSERT_EQ(inputStringBufferAdd("a"), kSuccess);  // case-sensitive: selects nothing
    ASSERT_EQ(inputStringBufferAdd("A"), kSuccess);
    ASSERT_EQ(addChannelDefinitionFromFile(path.c_str(), table), kSuccess);
    EXPECT_EQ(names(256), (std::vector<std::string>{"A", "C"}));
}

TEST_F(FileImport, DbcSelectionNeedsTheFullNameWithIndicator) {
    const std::string path = writeFile("select.dbc", kDbcSample);
    ASSERT_EQ(inputStringBufferAdd("Speed"), kSuccess);
    ASSERT_EQ(inputStringBufferAdd("Speed m2"), kSuccess);
    ASSERT_EQ(inputStringBufferAdd("Load"), kSuccess);
    ASSERT_EQ(addChannelDefinitionFromFile(path.c_str(), table), kSuccess);
    EXPECT_EQ(names(100), (std::vector<std::string>{"Speed m2"}));
    EXPECT_EQ(names(419361024), (std::vector<std::string>{"Load"}));
}

// Argument faults keep the selection (and its lock) for the next call; every
// later path consumes it, so the import after that loads everything.
TEST_F(FileImport, SelectionSurvivesArgumentFaultsOnly) {
    const std::string path = writeFile("keep.zcd", kZcdABC);
    ASSERT_EQ(inputStringBufferAdd("B"), kSuccess);
    EXPECT_EQ(inputStringBufferAdd(nullptr), kErrNullArgument);
    EXPECT_EQ(addChannelDefinitionFromFile(nullptr, table), kErrNullArgument);
    EXPECT_EQ(addChannelDefinitionFromFile(path.c_str(), 0), kErrNullArgument);
    EXPECT_EQ(addChannelDefinitionFromFile(path.c_str(), table + 8), kErrInvalidTable);
    ASSERT_EQ(addChannelDefinitionFromFile(path.c_str(), table), kSuccess);
    EXPECT_EQ(channelCount(), 1u);

    MessageTableHandle second = 0;
    ASSERT_EQ(createMessageTable(&second), kSuccess);
    ASSERT_EQ(inputStringBufferAdd("B"), kSuccess);
    EXPECT_EQ(addChannelDefinitionFromFile("missing.zcd", second), kErrFileFormat);  // consumed
    ASSERT_EQ(addChannelDefinitionFromFile(path.c_str(), second), kSuccess);
    uint32_t count = 0;
    ASSERT_EQ(getNumberOfChannels(second, 256, &count), kSuccess);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(closeMessageTable(second), kSuccess);
}

TEST_F(FileImport, FrozenTableIsRefusedAndConsumesTheSelection) {
    const std::string path = writeFile("frozen.zcd", kZcdABC);
    ASSERT_EQ(getLargestNumberOfChannels(table, nullptr), kErrNullArgument);
    uint32_t count = 0;
    ASSERT_EQ(getNumberOfMessageIDs(table, &count), kSuccess);
    ASSERT_EQ(inputStringBufferAdd("A"), kSuccess);
    EXPECT_EQ(addChannelDefinitionFromFile(path.c_str(), table), kErrTableInUse);
    // The selection is gone, and with it the lock: another thread gets through.
    int32_t status = 1;
    std::thread other([&] {
        MessageTableHandle fresh = 0;
        status = createMessageTable(&fresh);
        if (status == kSuccess) status = addChannelDefinitionFromFile(path.c_str(), fresh);
        uint32_t channels = 0;
        if (status == kSuccess) status = getNumberOfChannels(fresh, 256, &channels);
        if (status == kSuccess && channels != 3) status = -1;
        closeMessageTable(fresh);
    });
    other.join();
    EXPECT_EQ(status, kSuccess);
}

TEST_F(FileImport, FileNamesAndUnreadableFiles) {
    const std::string zcd = writeFile("names.zcd", kZcdABC);
    const std::string upper = writeFile("names.ZCD", kZcdABC);
    const std::string trailing = writeFile("names.zcd.bak", kZcdABC);
    const std::string bareDbc = writeFile(".dbc", kDbcSample);
    struct Case {
        std::string path;
        int32_t expected;
    };
    const Case cases[] = {
        {"a.z", kErrFileFormat},
        {"", kErrFileFormat},
        {upper, kErrFileFormat},
        {trailing, kErrFileFormat},
        {::testing::TempDir() + "does-not-exist.zcd", kErrFileFormat},
        {::testing::TempDir() + "does-not-exist.dbc", kErrFileFormat},
        {::testing::TempDir() + "dir.dbc/", kErrFileFormat},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(addChannelDefinitionFromFile(c.path.c_str(), table), c.expected);
    }
    EXPECT_EQ(channelCount(), 0u);
    EXPECT_EQ(addChannelDefinitionFromFile(bareDbc.c_str(), table), kSuccess);
    EXPECT_EQ(addChannelDefinitionFromFile(zcd.c_str(), table), kSuccess);
    EXPECT_EQ(names(256), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(names(100).size(), 4u);
}

TEST_F(FileImport, DirectoriesAreNotDefinitionFiles) {
    const std::string directory = ::testing::TempDir() + "folder.zcd";
    const std::string dbcDirectory = ::testing::TempDir() + "folder.dbc";
    std::filesystem::create_directories(directory);
    std::filesystem::create_directories(dbcDirectory);
    EXPECT_EQ(addChannelDefinitionFromFile(directory.c_str(), table), kErrFileFormat);
    EXPECT_EQ(addChannelDefinitionFromFile(dbcDirectory.c_str(), table), kErrFileFormat);
}

TEST_F(FileImport, SyntaxErrorAddsNothing) {
    std::string broken = kZcdABC;
    broken += "<unclosed>";
    const std::string path = writeFile("broken.zcd", broken);
    EXPECT_EQ(addChannelDefinitionFromFile(path.c_str(), table), kErrFileFormat);
    EXPECT_EQ(channelCount(), 0u);
}

TEST_F(FileImport, RefusedChannelsAreLeftOutSilently) {
    const std::string path = writeFile("refused.dbc",
                                       "BO_ 1 M: 8 X\n"
                                       " SG_ A : 0|8@1+ (1,0) [0|0] \"\" X\n"
                                       " SG_ A : 8|8@1+ (1,0) [0|0] \"\" X\n"  // duplicate name
                                       " SG_ Wide : 0|60@1+ (1,0) [0|0] \"\" X\n"  // wider than 52 bits
                                       " SG_ B : 4|8@1+ (1,0) [0|0] \"\" X\n"  // overlap: added, no report
                                       "BO_ 2 N: 9 X\n"
                                       " SG_ C : 0|8@1+ (1,0) [0|0] \"\" X\n");  // payload size 9
    EXPECT_EQ(addChannelDefinitionFromFile(path.c_str(), table), kSuccess);
    EXPECT_EQ(names(1), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(names(2), (std::vector<std::string>{"<unknown message>"}));
}

TEST_F(FileImport, GarbageAndHugeLinesAreSafe) {
    std::string garbage;
    for (int i = 0; i < 200000; ++i) garbage.push_back(static_cast<char>((i * 7919) % 251));
    EXPECT_EQ(addChannelDefinitionFromFile(writeFile("garbage.dbc", garbage).c_str(), table), kSuccess);
    const int32_t xmlStatus = addChannelDefinitionFromFile(writeFile("garbage.zcd", garbage).c_str(), table);
    EXPECT_TRUE(xmlStatus == kSuccess || xmlStatus == kErrFileFormat) << xmlStatus;
    std::string longLine = "BO_ 5 M: 8 X\n SG_ Long : 0|8@1+ (1,0) [0|0] \"";
    longLine.append(10'000'000, 'u');
    longLine += "\" X\n";
    EXPECT_EQ(addChannelDefinitionFromFile(writeFile("long.dbc", longLine).c_str(), table), kSuccess);
    EXPECT_EQ(names(5), (std::vector<std::string>{"Long"}));
}

// While one thread's selection is pending it holds the library's lock: other
// threads' guarded calls wait for its import.
TEST(FileImportSelection, OtherThreadsWaitForThePendingImport) {
    const std::string path = writeFile("pending.zcd", kZcdABC);
    MessageTableHandle table = 0;
    ASSERT_EQ(createMessageTable(&table), kSuccess);
    ASSERT_EQ(inputStringBufferAdd("A"), kSuccess);
    std::atomic<bool> otherDone{false};
    std::thread other([&] {
        EXPECT_EQ(inputStringBufferAdd("B"), kSuccess);  // waits, then starts a selection of its own
        otherDone = true;
        MessageTableHandle own = 0;
        EXPECT_EQ(createMessageTable(&own), kSuccess);
        EXPECT_EQ(addChannelDefinitionFromFile(path.c_str(), own), kSuccess);
        uint32_t count = 0;
        EXPECT_EQ(getNumberOfChannels(own, 256, &count), kSuccess);
        EXPECT_EQ(count, 1u);
        EXPECT_EQ(closeMessageTable(own), kSuccess);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(otherDone.load());
    ASSERT_EQ(addChannelDefinitionFromFile(path.c_str(), table), kSuccess);
    other.join();
    EXPECT_TRUE(otherDone.load());
    uint32_t count = 0;
    ASSERT_EQ(getNumberOfChannels(table, 256, &count), kSuccess);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(closeMessageTable(table), kSuccess);
}

}  // namespace
}  // namespace canxlate::test
