// Logs written by python-can: we read what python-can reads from them
// (tests/data/logs/make_logs.py writes both).
#include <gtest/gtest.h>

#include <sstream>

#include "log_test_support.h"

namespace canxlate::logs::test {
namespace {

TEST(PythonCanAgreement, SameFramesFromEachFormat) {
    for (const auto& [file, format] :
         {std::pair{"sample.asc", LogFormat::kAsc}, std::pair{"sample.blf", LogFormat::kBlf},
          std::pair{"sample.log", LogFormat::kCandump}}) {
        SCOPED_TRACE(file);
        const std::string path = std::string(CANXLATE_LOG_DATA_DIR) + "/" + file;
        std::istringstream expectedText(readFile(path + ".expected"));
        std::vector<std::string> expected;
        for (std::string line; std::getline(expectedText, line);) expected.push_back(line);
        const ReadResult result = readLog(readFile(path));
        EXPECT_EQ(result.format, format);
        EXPECT_EQ(result.described, expected);
        EXPECT_EQ(result.counts.malformed, 0u);
    }
}

}  // namespace
}  // namespace canxlate::logs::test
