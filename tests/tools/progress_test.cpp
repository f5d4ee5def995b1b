// The progress line of canxlate decode: on standard error while that is a
// terminal and standard output is not, erased before the summary. Golden runs
// cannot show it: it needs a terminal, a long log, and its rate varies.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

const std::string kSummary = "canxlate: 40000 frames read, 40000 decoded";

// Decodes a log of 40000 frames (the progress is looked at every 16384 lines)
// on a new terminal, with the streams asked for sent to files instead; returns
// what reached the terminal and what reached standard error.
std::pair<std::string, std::string> decodeLongLog(bool stdoutToFile, bool stderrToFile) {
    char log[] = "/tmp/canxlate_progress_XXXXXX";
    const int logFd = ::mkstemp(log);
    std::string lines;
    for (int i = 0; i < 40000; ++i) lines += "(1.0) can0 100#8A131F80FB900000\n";
    EXPECT_EQ(::write(logFd, lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
    const std::string errorFile = std::string(log) + ".err";
    int terminal = -1;
    const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
        if (stdoutToFile) ::dup2(::open("/dev/null", O_WRONLY), STDOUT_FILENO);
        if (stderrToFile) ::dup2(::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
        ::execl(CANXLATE_PROGRAM, CANXLATE_PROGRAM, "decode", CANXLATE_EXAMPLES_DIR "/powertrain.dbc", log, nullptr);
        ::_exit(127);
    }
    std::string onTerminal;
    char buffer[4096];
    for (ssize_t got = 0; (got = ::read(terminal, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR);) {
        if (got > 0) onTerminal.append(buffer, static_cast<std::size_t>(got));  // EIO once the program has exited
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(status, 0) << onTerminal;
    ::close(terminal);
    ::close(logFd);
    std::ostringstream errors;
    errors << std::ifstream(errorFile).rdbuf();
    std::remove(log);
    std::remove(errorFile.c_str());
    return {onTerminal, errors.str()};
}

TEST(CanxlateProgress, ShownOnATerminalAndErasedBeforeTheSummary) {
    const std::string shown = decodeLongLog(true, false).first;
    EXPECT_NE(shown.find("% "), std::string::npos) << shown;
    EXPECT_NE(shown.find(" frames/s"), std::string::npos) << shown;
    const std::size_t erase = shown.rfind("\r\033[K");
    ASSERT_NE(erase, std::string::npos) << shown;
    EXPECT_EQ(shown.find(kSummary), erase + 4) << shown;
}

TEST(CanxlateProgress, AbsentWhenEitherStreamIsNotTheTerminal) {
    const std::string toFile = decodeLongLog(true, true).second;
    EXPECT_EQ(toFile.rfind(kSummary, 0), 0u) << toFile;
    EXPECT_EQ(toFile.find("frames/s"), std::string::npos) << toFile;
    const std::string withOutput = decodeLongLog(false, false).first;
    EXPECT_NE(withOutput.find(kSummary), std::string::npos);
    EXPECT_EQ(withOutput.find("frames/s"), std::string::npos);
}

}  // namespace
