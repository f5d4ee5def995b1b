// canxlate encode, run as a process with the example database.
#include <gtest/gtest.h>

#include "program_runner.h"

namespace canxlate::test {
namespace {

const std::string kDatabase = examplePath("powertrain.dbc");

TEST(CanxlateEncode, PrintsTheFrameWithTheMessagesPayloadSize) {
    struct Case {
        std::vector<std::string> arguments;
        std::string frame;
    };
    const Case cases[] = {
        {{"100", "EngineSpeed=1250.5", "ThrottlePosition=12.4", "CoolantTemp=88", "EngineTorque=-35.5"},
         "100#8A131F80FB900000\n"},
        // Four bytes for a four-byte message; a negative value in a signed field.
        {{"200", "GearSelected=-1", "TorqueConverterLocked=1", "OutputShaftSpeed=1500", "TransmissionOilTemp=80"},
         "200#1F0BB878\n"},
        // The float channel; 8 digits and 0x both name the extended message.
        {{"18FEF100", "BatteryVoltage=13.8", "BatteryCurrent=-12.3", "StateOfCharge=87.5"},
         "18FEF100#0564FF85AF000000\n"},
        {{"0x18fef100", "StateOfCharge=+50"}, "18FEF100#0000000064000000\n"},
        {{"300", "FuelRate=4.2"}, "300#6666864000000000\n"},
        // Channels not named are 0: CoolantTemp 0 is raw 40 after its offset.
        {{"100"}, "100#0000002800000000\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = {"encode", kDatabase};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const ProgramResult result = runProgram(arguments);
        EXPECT_EQ(result.exitStatus, 0) << c.frame << result.err;
        EXPECT_EQ(result.out, c.frame);
        EXPECT_EQ(result.err, "") << c.frame;
    }
}

TEST(CanxlateEncode, ReportsEveryClampedValueAndStillEncodes) {
    const ProgramResult result =
        runProgram({"encode", kDatabase, "200", "TransmissionOilTemp=300", "GearSelected=-7", "OutputShaftSpeed=100"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, "200#0F00C8FF\n");
    EXPECT_EQ(result.err,
              "canxlate: GearSelected=-7 clamped to -1\n"
              "canxlate: TransmissionOilTemp=300 clamped to 215\n");
}

TEST(CanxlateEncode, EncodedFrameDecodesToTheGivenValues) {
    const ProgramResult encoded = runProgram({"encode", kDatabase, "100", "EngineSpeed=3000.25",
                                              "ThrottlePosition=99.6", "CoolantTemp=-12", "EngineTorque=-999.5"});
    ASSERT_EQ(encoded.exitStatus, 0) << encoded.err;
    const ProgramResult decoded = runProgram({"decode", kDatabase}, "(9) can0 " + encoded.out);
    ASSERT_EQ(decoded.exitStatus, 0) << decoded.err;
    EXPECT_EQ(
        decoded.out,
        "(9) can0 100  EngineSpeed=3000.25 ThrottlePosition=99.60000000000001 CoolantTemp=-12 EngineTorque=-999.5\n");
}

TEST(CanxlateEncode, BadArgumentsAreReportedWithANonZeroStatus) {
    struct Case {
        std::vector<std::string> arguments;
        int exitStatus;
        std::string error;
    };
    const Case cases[] = {
        {{"123", "EngineSpeed=1"}, 1, "canxlate: " + kDatabase + ": no message 123 (kErrUnknownMessage)\n"},
        {{"100", "Nope=1"}, 1, "canxlate: " + kDatabase + ": message 100 has no channel 'Nope'\n"},
        {{"100", "EngineSpeed=12x"}, 1, "canxlate: bad number '12x' for channel 'EngineSpeed'\n"},
        {{"100", "EngineSpeed="}, 1, "canxlate: bad number '' for channel 'EngineSpeed'\n"},
        {{"100", "EngineSpeed=1,5"}, 1, "canxlate: bad number '1,5' for channel 'EngineSpeed'\n"},
        {{"100", "EngineSpeed=1", "EngineSpeed=2"}, 1, "canxlate: channel 'EngineSpeed' is given twice\n"},
        {{"10G"}, 1, "canxlate: bad message ID '10G': hex digits up to 1FFFFFFF expected\n"},
        {{"20000000"}, 1, "canxlate: bad message ID '20000000': hex digits up to 1FFFFFFF expected\n"},
        {{"100", "EngineSpeed"},
         2,
         "canxlate encode: expected NAME=VALUE, got 'EngineSpeed'\nTry 'canxlate encode --help'.\n"},
        {{}, 2, "canxlate encode: missing message ID\nTry 'canxlate encode --help'.\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = {"encode", kDatabase};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const ProgramResult result = runProgram(arguments);
        EXPECT_EQ(result.exitStatus, c.exitStatus) << c.error;
        EXPECT_EQ(result.out, "") << c.error;
        EXPECT_EQ(result.err, c.error);
    }
}

}  // namespace
}  // namespace canxlate::test
