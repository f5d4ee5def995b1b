// canxlate info, run as a process.
#include <gtest/gtest.h>

#include <algorithm>

#include "program_runner.h"

namespace canxlate::test {
namespace {

TEST(CanxlateInfo, ListsEveryMessageWithSizeAndChannelsInDefinitionOrder) {
    const ProgramResult result = runProgram({"info", examplePath("powertrain.dbc")});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const std::vector<std::string> lines = splitLines(result.out);
    // The extended message: bit 31 of the DBC's ID is the extended marker, not part of the ID.
    const auto extended = std::find(lines.begin(), lines.end(), "message 0x18FEF100 (419361024): 8 bytes, 3 channels");
    ASSERT_NE(extended, lines.end()) << result.out;
    ASSERT_GE(lines.end() - extended, 4);
    EXPECT_EQ(extended[1], "  BatteryVoltage");
    EXPECT_EQ(extended[2], "  BatteryCurrent");
    EXPECT_EQ(extended[3], "  StateOfCharge");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "message 0x200 (512): 4 bytes, 4 channels"), lines.end());
    EXPECT_EQ(lines.back(), "4 messages, 14 channels");
}

TEST(CanxlateInfo, DbcAndZcdOfTheExampleListTheSame) {
    const ProgramResult dbc = runProgram({"info", examplePath("powertrain.dbc")});
    const ProgramResult zcd = runProgram({"info", examplePath("powertrain.zcd")});
    ASSERT_EQ(dbc.exitStatus, 0) << dbc.err;
    ASSERT_EQ(zcd.exitStatus, 0) << zcd.err;
    EXPECT_EQ(dbc.out, zcd.out);
    EXPECT_EQ(runProgram({"info", "--json", examplePath("powertrain.dbc")}).out,
              runProgram({"info", examplePath("powertrain.zcd"), "--json"}).out);
}

TEST(CanxlateInfo, JsonListsMessagesWithEscapedNames) {
    const ScratchDirectory dir;
    const std::string db = dir.write("odd.dbc",
                                     "BO_ 1 M: 2 X\n"
                                     " SG_ Say \"hi\" : 0|8@1+ (1,0) [0|0] \"\" X\n"
                                     " SG_ back\\slash : 8|8@1+ (1,0) [0|0] \"\" X\n");
    const ProgramResult result = runProgram({"info", db, "--json"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out,
              "{\"messages\": [\n"
              "  {\"id\": 1, \"hex\": \"0x001\", \"size\": 2, \"channels\": [\"Say \\\"hi\\\"\", \"back\\\\slash\"]}\n"
              "]}\n");
}

TEST(CanxlateInfo, DatabaseWithoutMessagesIsListedEmptyWithAWarning) {
    const ScratchDirectory dir;
    const ProgramResult text = runProgram({"info", dir.write("empty.dbc", "VERSION \"\"\n")});
    EXPECT_EQ(text.exitStatus, 0);
    EXPECT_EQ(text.out, "0 messages, 0 channels\n");
    EXPECT_NE(text.err.find("warning"), std::string::npos) << text.err;
    EXPECT_EQ(runProgram({"info", "--json", dir.path().string() + "/empty.dbc"}).out, "{\"messages\": []}\n");
}

// Unusable database files: status 1, a one-line message naming the file and
// the library's status by name.
TEST(CanxlateInfo, UnusableDatabaseFilesAreReportedWithFileAndStatus) {
    const ScratchDirectory dir;
    struct Case {
        std::string path;
        std::string reason;
    };
    const Case cases[] = {
        {(dir.path() / "missing.dbc").string(), "No such file or directory"},
        {dir.write("notes.txt", "BO_ 1 M: 8 X\n"), "must end in \".dbc\" or \".zcd\""},
        {dir.write("broken.zcd", "<zecan_config><message>"), "not a well-formed"},
        {dir.path().string() + "/sub.dbc", "is a directory"},
    };
    std::filesystem::create_directory(dir.path() / "sub.dbc");
    for (const Case& c : cases) {
        const ProgramResult result = runProgram({"info", c.path});
        EXPECT_EQ(result.exitStatus, 1) << c.path;
        EXPECT_EQ(result.out, "") << c.path;
        EXPECT_EQ(splitLines(result.err).size(), 1u) << result.err;
        EXPECT_NE(result.err.find(c.path + ": "), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("kErrFileFormat"), std::string::npos) << result.err;
        EXPECT_NE(result.err.find(c.reason), std::string::npos) << result.err;
    }
}

}  // namespace
}  // namespace canxlate::test
