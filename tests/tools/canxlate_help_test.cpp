// The program's help and the handling of unknown commands, run as a process.
#include <gtest/gtest.h>

#include "program_runner.h"

namespace canxlate::test {
namespace {

TEST(CanxlateHelp, EveryWayOfAskingShowsTheMatchingHelp) {
    struct Case {
        std::vector<std::string> arguments;
        std::string firstLine;
    };
    const Case cases[] = {
        {{"--help"}, "Usage: canxlate COMMAND ARGUMENTS..."},
        {{"-h"}, "Usage: canxlate COMMAND ARGUMENTS..."},
        {{"help"}, "Usage: canxlate COMMAND ARGUMENTS..."},
        {{"help", "decode"}, "Usage: canxlate decode DB [LOG] [--csv] [--select NAME]..."},
        {{"decode", "--help"}, "Usage: canxlate decode DB [LOG] [--csv] [--select NAME]..."},
        {{"info", "-h"}, "Usage: canxlate info DB [--json]"},
        {{"help", "info"}, "Usage: canxlate info DB [--json]"},
        {{"encode", "--help"}, "Usage: canxlate encode DB ID NAME=VALUE..."},
        {{"help", "encode"}, "Usage: canxlate encode DB ID NAME=VALUE..."},
        // Help wins over missing or wrong arguments.
        {{"encode", "no.dbc", "--help"}, "Usage: canxlate encode DB ID NAME=VALUE..."},
    };
    for (const Case& c : cases) {
        const ProgramResult result = runProgram(c.arguments);
        EXPECT_EQ(result.exitStatus, 0) << c.firstLine;
        EXPECT_EQ(result.err, "");
        const std::vector<std::string> lines = splitLines(result.out);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0], c.firstLine);
    }
}

TEST(CanxlateHelp, WrongCommandsAreUsageErrors) {
    const ProgramResult none = runProgram({});
    EXPECT_EQ(none.exitStatus, 2);
    EXPECT_EQ(none.out, "");
    EXPECT_TRUE(none.err.starts_with("Usage: canxlate COMMAND")) << none.err;

    const ProgramResult unknown = runProgram({"frobnicate"});
    EXPECT_EQ(unknown.exitStatus, 2);
    EXPECT_EQ(unknown.err, "canxlate: unknown command 'frobnicate'\nTry 'canxlate --help'.\n");

    const ProgramResult unknownHelp = runProgram({"help", "frobnicate"});
    EXPECT_EQ(unknownHelp.exitStatus, 2);

    const ProgramResult unknownOption = runProgram({"info", "--verbose", "x.dbc"});
    EXPECT_EQ(unknownOption.exitStatus, 2);
    EXPECT_EQ(unknownOption.err, "canxlate info: unknown option '--verbose'\nTry 'canxlate info --help'.\n");
}

}  // namespace
}  // namespace canxlate::test
