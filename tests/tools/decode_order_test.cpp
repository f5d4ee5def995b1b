// Long logs are formatted on two threads, a batch each in turn: the output
// keeps the log's order and the summary counts the frames of every batch.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

TEST(CanxlateDecode, ALongLogKeepsItsOrderAndEveryCount) {
    char log[] = "/tmp/canxlate_order_XXXXXX";
    const int logFd = ::mkstemp(log);
    std::string lines;
    constexpr int kFrames = 20000;  // five batches
    for (int i = 0; i < kFrames; ++i) {
        const std::string id = i % 5 == 4 ? "7FF" : "100";  // one in five not in the database
        lines += "(" + std::to_string(i) + ".000000) can" + std::to_string(i % 3) + " " + id + "#8A131F80FB900000\n";
    }
    ASSERT_EQ(::write(logFd, lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
    ::close(logFd);
    const std::string errors = std::string(log) + ".err";
    const std::string command =
        std::string(CANXLATE_PROGRAM) + " decode " CANXLATE_EXAMPLES_DIR "/powertrain.dbc " + log + " 2>" + errors;
    std::FILE* output = ::popen(command.c_str(), "r");
    ASSERT_NE(output, nullptr);
    char line[512];
    int frame = 0;
    while (std::fgets(line, sizeof line, output) != nullptr) {
        const std::string expected =
            "(" + std::to_string(frame) + ".000000) can" + std::to_string(frame % 3) + " 100 EngineData:";
        ASSERT_EQ(std::string(line).rfind(expected, 0), 0u) << line;
        frame += frame % 5 == 3 ? 2 : 1;
    }
    EXPECT_EQ(::pclose(output), 0);
    EXPECT_EQ(frame, kFrames);
    std::ostringstream summary;
    summary << std::ifstream(errors).rdbuf();
    EXPECT_NE(summary.str().find("20000 frames read, 16000 decoded, 4000 not in the database"), std::string::npos)
        << summary.str();
    std::remove(log);
    std::remove(errors.c_str());
}

}  // namespace
