// canxlate decode, run as a process on small logs with the example database.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <random>

#include "canxlatelib.h"
#include "program_runner.h"

namespace canxlate::test {
namespace {

const std::string kDatabase = examplePath("powertrain.dbc");

std::string summaryLine(const ProgramResult& result) {
    const std::vector<std::string> lines = splitLines(result.err);
    return lines.empty() ? "" : lines.back();
}

TEST(CanxlateDecode, ExampleLogGivesOneLinePerDecodedFrameAndASummary) {
    const ProgramResult result = runProgram({"decode", kDatabase, examplePath("powertrain.log")});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const std::vector<std::string> lines = splitLines(result.out);
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[0],
              "(1700000000.000120) can0 100  EngineSpeed=800 ThrottlePosition=4 CoolantTemp=82 EngineTorque=20");
    EXPECT_EQ(lines[2],
              "(1700000000.005033) can1 18FEF100  BatteryVoltage=13.91 BatteryCurrent=-8.4 StateOfCharge=81.5");
    EXPECT_EQ(result.err,
              "canxlate: 15 frames read, 14 decoded, 1 skipped (1 not in table, 0 remote, 0 CAN FD, 0 error frames), "
              "0 malformed lines\n");
}

TEST(CanxlateDecode, BothCandumpFormsStandardAndExtendedIdsDecodeAlike) {
    const std::string log =
        "(1.5) can0 100#8A131F80FB900000\n"
        "  can0  100   [8]  8A 13 1F 80 FB 90 00 00\n"
        " (2.25)  vcan1  18FEF100   [8]  05 64 FF 85 AF 00 00 00   '.d....'\n"
        "(3.000000) can1 18fef100#0564FF85AF000000\r\n"
        "can2 100#8A.13.1F.80.FB.90.00.00";
    const ProgramResult result = runProgram({"decode", kDatabase, "--csv"}, log);
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out,
              "timestamp,interface,message_id,channel,value\n"
              "1.5,can0,100,EngineSpeed,1250.5\n1.5,can0,100,ThrottlePosition,12.4\n"
              "1.5,can0,100,CoolantTemp,88\n1.5,can0,100,EngineTorque,-35.5\n"
              ",can0,100,EngineSpeed,1250.5\n,can0,100,ThrottlePosition,12.4\n"
              ",can0,100,CoolantTemp,88\n,can0,100,EngineTorque,-35.5\n"
              "2.25,vcan1,18FEF100,BatteryVoltage,13.8\n2.25,vcan1,18FEF100,BatteryCurrent,-12.3\n"
              "2.25,vcan1,18FEF100,StateOfCharge,87.5\n"
              "3.000000,can1,18FEF100,BatteryVoltage,13.8\n3.000000,can1,18FEF100,BatteryCurrent,-12.3\n"
              "3.000000,can1,18FEF100,StateOfCharge,87.5\n"
              ",can2,100,EngineSpeed,1250.5\n,can2,100,ThrottlePosition,12.4\n"
              ",can2,100,CoolantTemp,88\n,can2,100,EngineTorque,-35.5\n");
}

TEST(CanxlateDecode, ShortPayloadsAreZeroPadded) {
    const ProgramResult result = runProgram({"decode", kDatabase}, "(1) can0 100#8A13\n  can0  100   [2]  8A 13\n");
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    // CoolantTemp and EngineTorque read zero bytes: -40 after the offset, and 0.
    EXPECT_EQ(result.out,
              "(1) can0 100  EngineSpeed=1250.5 ThrottlePosition=0 CoolantTemp=-40 EngineTorque=0\n"
              "can0 100  EngineSpeed=1250.5 ThrottlePosition=0 CoolantTemp=-40 EngineTorque=0\n");
}

TEST(CanxlateDecode, UndecodableFramesAreSkippedAndCountedByReason) {
    const std::string log =
        "(1) can0 100#R\n"                                          // remote
        "(1) can0 100#R8\n"                                         // remote with length
        "  can0  100   [8]  remote request\n"                       // remote, screen form
        "(2) can0 100##1112233445566778899AABBCC\n"                 // CAN FD, 12 bytes
        "(2) can0 100#112233445566778899AABBCC\n"                   // more than 8 bytes
        "  can0  100  [12]  11 22 33 44 55 66 77 88 99 AA BB CC\n"  // CAN FD, screen form
        "(3) can0 20000080#0000000000000000\n"                      // error frame
        "(4) can0 7DF#0201050000000000\n"                           // not in the table
        "(4) can0 00000100#8A131F80FB900000\n"                      // extended 100: the table has one key for both
        "(5) can0 100##08A131F80FB900000\n";                        // CAN FD with 8 bytes: decodable
    const ProgramResult result = runProgram({"decode", kDatabase}, log);
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(splitLines(result.out).size(), 2u) << result.out;
    EXPECT_EQ(summaryLine(result),
              "canxlate: 10 frames read, 2 decoded, 8 skipped (1 not in table, 3 remote, 3 CAN FD, 1 error frames), "
              "0 malformed lines");
}

TEST(CanxlateDecode, MalformedLinesAreReportedWithTheirNumbersAndFailTheRun) {
    const std::string log =
        "(1) can0 100#8A131F80FB900000\n"
        "\n"
        "(1) can0 1234#00\n"
        "this is not a frame\n"
        "(1) can0 300#0000304\n"
        "   \n"
        "(2) can0 100#8A131F80FB900000\n";
    const ProgramResult result = runProgram({"decode", kDatabase, "-"}, log);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(splitLines(result.out).size(), 2u) << result.out;
    const std::vector<std::string> errors = splitLines(result.err);
    ASSERT_EQ(errors.size(), 4u) << result.err;
    EXPECT_EQ(errors[0], "canxlate: <stdin>:3: malformed line: CAN ID must have 3 or 8 hex digits");
    EXPECT_TRUE(errors[1].starts_with("canxlate: <stdin>:4: malformed line: ")) << errors[1];
    EXPECT_EQ(errors[2], "canxlate: <stdin>:5: malformed line: odd number of hex digits in the data");
    EXPECT_EQ(errors[3],
              "canxlate: 2 frames read, 2 decoded, 0 skipped (0 not in table, 0 remote, 0 CAN FD, 0 error frames), "
              "3 malformed lines");
}

TEST(CanxlateDecode, FloodOfMalformedLinesIsCountedNotAllShown) {
    std::string log;
    for (int i = 0; i < 100; ++i) log += "garbage\n";
    const ProgramResult result = runProgram({"decode", kDatabase}, log);
    EXPECT_EQ(result.exitStatus, 1);
    const std::vector<std::string> errors = splitLines(result.err);
    ASSERT_EQ(errors.size(), 22u) << result.err;
    EXPECT_TRUE(errors[19].starts_with("canxlate: <stdin>:20: ")) << errors[19];
    EXPECT_EQ(errors[20], "canxlate: <stdin>: further malformed lines are counted, not shown");
    EXPECT_NE(errors[21].find("100 malformed lines"), std::string::npos) << errors[21];
}

TEST(CanxlateDecode, SelectRestrictsTheChannelsAndLeavesOtherMessagesOut) {
    const ProgramResult result = runProgram(
        {"decode", "--select", "StateOfCharge", kDatabase, examplePath("powertrain.log"), "--select=EngineSpeed"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const std::vector<std::string> lines = splitLines(result.out);
    ASSERT_EQ(lines.size(), 8u) << result.out;
    EXPECT_EQ(lines[0], "(1700000000.000120) can0 100  EngineSpeed=800");
    EXPECT_EQ(lines[1], "(1700000000.005033) can1 18FEF100  StateOfCharge=81.5");
    EXPECT_EQ(summaryLine(result),
              "canxlate: 15 frames read, 8 decoded, 7 skipped (7 not in table, 0 remote, 0 CAN FD, 0 error frames), "
              "0 malformed lines");
}

TEST(CanxlateDecode, SelectingAChannelTheDatabaseLacksIsAnError) {
    const ProgramResult result = runProgram({"decode", kDatabase, "--select", "EngineSpeed", "--select", "Nope"}, "");
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "canxlate: " + kDatabase + ": no channel named 'Nope'\n");
}

TEST(CanxlateDecode, CsvQuotesFieldsThatNeedIt) {
    const ScratchDirectory dir;
    const std::string db = dir.write("quotes.dbc",
                                     "BO_ 16 M: 1 X\n"
                                     " SG_ Odd,\"Name\" : 0|8@1+ (1,0) [0|0] \"\" X\n");
    const ProgramResult result = runProgram({"decode", db, "--csv"}, "(1) can0 010#07\n");
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, "timestamp,interface,message_id,channel,value\n1,can0,010,\"Odd,\"\"Name\"\"\",7\n");
}

// Every CSV value reads back as exactly the double the library decodes; no
// digit is lost in formatting, whatever the channel type.
TEST(CanxlateDecode, CsvValuesReadBackAsTheLibrarysDoubles) {
    struct Frame {
        uint32_t id;
        const char* idText;
        std::array<uint8_t, 8> payload;
    };
    std::vector<Frame> frames;
    std::mt19937 random(7);
    const std::pair<uint32_t, const char*> ids[] = {{0x100, "100"}, {0x300, "300"}, {0x18FEF100, "18FEF100"}};
    std::string log;
    for (int i = 0; i < 300; ++i) {
        Frame frame{ids[i % 3].first, ids[i % 3].second, {}};
        for (auto& byte : frame.payload) byte = static_cast<uint8_t>(random());
        log += "(" + std::to_string(i) + ") can0 " + frame.idText + "#";
        for (uint8_t byte : frame.payload) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02X", byte);
            log += hex;
        }
        log += "\n";
        frames.push_back(frame);
    }
    const ProgramResult result = runProgram({"decode", kDatabase, "--csv"}, log);
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const std::vector<std::string> rows = splitLines(result.out);

    MessageTableHandle table = 0;
    ASSERT_EQ(createMessageTable(&table), kSuccess);
    ASSERT_EQ(addChannelDefinitionFromFile(kDatabase.c_str(), table), kSuccess);
    std::size_t row = 1;
    for (const Frame& frame : frames) {
        uint32_t count = 0;
        ASSERT_EQ(getNumberOfChannels(table, frame.id, &count), kSuccess);
        std::vector<double> expected(count);
        ASSERT_EQ(convertFrameToChannel(table, frame.id, frame.payload.data(), expected.data()), kSuccess);
        for (double value : expected) {
            ASSERT_LT(row, rows.size());
            const std::string& csvRow = rows[row++];
            const std::string text = csvRow.substr(csvRow.rfind(',') + 1);
            double parsed = 0;
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
            ASSERT_EQ(error, std::errc{}) << text;
            ASSERT_EQ(end, text.data() + text.size()) << text;
            if (std::isnan(value)) {
                EXPECT_TRUE(std::isnan(parsed)) << text;
            } else {
                EXPECT_EQ(std::bit_cast<uint64_t>(parsed), std::bit_cast<uint64_t>(value)) << text;
            }
        }
    }
    EXPECT_EQ(row, rows.size());
    closeMessageTable(table);
}

TEST(CanxlateDecode, TheZcdExampleDecodesTheLogLikeTheDbc) {
    const ProgramResult dbc = runProgram({"decode", kDatabase, examplePath("powertrain.log"), "--csv"});
    const ProgramResult zcd =
        runProgram({"decode", examplePath("powertrain.zcd"), examplePath("powertrain.log"), "--csv"});
    ASSERT_EQ(dbc.exitStatus, 0) << dbc.err;
    ASSERT_EQ(zcd.exitStatus, 0) << zcd.err;
    EXPECT_EQ(dbc.out, zcd.out);
}

TEST(CanxlateDecode, UnreadableInputsAndWrongArgumentsFail) {
    const ProgramResult missingLog = runProgram({"decode", kDatabase, "/nonexistent/x.log"});
    EXPECT_EQ(missingLog.exitStatus, 1);
    EXPECT_EQ(missingLog.err, "canxlate: /nonexistent/x.log: cannot open: No such file or directory\n");

    const ProgramResult missingDatabase = runProgram({"decode", "/nonexistent/x.dbc"}, "");
    EXPECT_EQ(missingDatabase.exitStatus, 1);
    EXPECT_NE(missingDatabase.err.find("/nonexistent/x.dbc: cannot load the database: kErrFileFormat"),
              std::string::npos)
        << missingDatabase.err;

    const ScratchDirectory dir;
    const ProgramResult directoryLog = runProgram({"decode", kDatabase, dir.path().string()});
    EXPECT_EQ(directoryLog.exitStatus, 1);
    EXPECT_NE(directoryLog.err.find("read error"), std::string::npos) << directoryLog.err;

    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{"decode"},
                                               {"decode", kDatabase, "a.log", "b.log"},
                                               {"decode", kDatabase, "--json"},
                                               {"decode", kDatabase, "--select"}}) {
        const ProgramResult result = runProgram(arguments, "");
        EXPECT_EQ(result.exitStatus, 2) << arguments.back();
        EXPECT_NE(result.err.find("Try 'canxlate decode --help'"), std::string::npos) << result.err;
    }
}

}  // namespace
}  // namespace canxlate::test
