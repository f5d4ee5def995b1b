// The progress line: shown on a terminal while a file is decoded, absent
// when standard error is not a terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "program_runner.h"

namespace canxlate::test {
namespace {

// Enough lines for the decoder to look at the progress several times.
std::string longLog() {
    std::string log;
    for (int i = 0; i < 40000; ++i) log += "(1.0) can0 100#8A131F80FB900000\n";
    return log;
}

struct TerminalRun {
    int exitStatus = -1;
    std::string terminalText;  // what reached the terminal on standard error
};

// Runs decode with standard error on a pseudo-terminal and standard output in
// /dev/null, the way a user redirects the decoded data.
TerminalRun runDecodeOnTerminal(const std::string& database, const std::string& log) {
    TerminalRun run;
    int terminal = -1;
    const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid < 0) return run;
    if (pid == 0) {
        const int devNull = ::open("/dev/null", O_WRONLY);
        ::dup2(devNull, STDOUT_FILENO);
        const std::string program = programPath();
        ::execl(program.c_str(), program.c_str(), "decode", database.c_str(), log.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(terminal, buffer, sizeof buffer);
        if (got > 0) {
            run.terminalText.append(buffer, static_cast<std::size_t>(got));
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            break;  // EIO once the program has exited
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(terminal);
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(CanxlateProgress, ShownOnATerminalAndErasedBeforeTheSummary) {
    const ScratchDirectory dir;
    const std::string log = dir.write("long.log", longLog());
    const TerminalRun run = runDecodeOnTerminal(examplePath("powertrain.dbc"), log);
    ASSERT_EQ(run.exitStatus, 0) << run.terminalText;
    EXPECT_NE(run.terminalText.find("% "), std::string::npos) << run.terminalText;
    EXPECT_NE(run.terminalText.find(" frames/s"), std::string::npos) << run.terminalText;
    const std::size_t erase = run.terminalText.rfind("\r\033[K");
    const std::size_t summary = run.terminalText.find("canxlate: 40000 frames read");
    ASSERT_NE(erase, std::string::npos);
    ASSERT_NE(summary, std::string::npos);
    EXPECT_LT(erase, summary);
}

TEST(CanxlateProgress, AbsentWhenStandardErrorIsNotATerminal) {
    const ScratchDirectory dir;
    const std::string log = dir.write("long.log", longLog());
    const ProgramResult result = runProgram({"decode", examplePath("powertrain.dbc"), log});
    ASSERT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.err,
              "canxlate: 40000 frames read, 40000 decoded, 0 skipped (0 not in table, 0 remote, 0 CAN FD, 0 error "
              "frames), 0 malformed lines\n");
}

}  // namespace
}  // namespace canxlate::test
