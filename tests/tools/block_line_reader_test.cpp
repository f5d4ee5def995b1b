// Line splitting across block boundaries, with blocks far smaller than lines.
#include "block_line_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "program_runner.h"

namespace canxlate::cli {
namespace {

std::vector<std::string> readAllLines(const std::string& content, std::size_t blockSize) {
    const test::ScratchDirectory dir;
    const std::string path = dir.write("input", content);
    const int fd = ::open(path.c_str(), O_RDONLY);
    EXPECT_GE(fd, 0);
    BlockLineReader reader(fd, blockSize);
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.nextLine(line)) lines.emplace_back(line);
    EXPECT_EQ(reader.readError(), 0);
    EXPECT_EQ(reader.bytesConsumed(), content.size());
    ::close(fd);
    return lines;
}

TEST(BlockLineReader, SameLinesWhateverTheBlockSize) {
    const std::string longLine(100, 'x');
    const std::string content = "first\n\nthird line\r\n" + longLine + "\nlast without line feed";
    const std::vector<std::string> expected = {"first", "", "third line\r", longLine, "last without line feed"};
    for (std::size_t blockSize : {1u, 2u, 3u, 7u, 64u, 4096u}) {
        EXPECT_EQ(readAllLines(content, blockSize), expected) << "block size " << blockSize;
    }
}

TEST(BlockLineReader, EmptyInputAndFinalLineFeed) {
    EXPECT_TRUE(readAllLines("", 4).empty());
    EXPECT_EQ(readAllLines("\n", 4), std::vector<std::string>{""});
    EXPECT_EQ(readAllLines("a\nb\n", 4), (std::vector<std::string>{"a", "b"}));
}

TEST(BlockLineReader, ReadErrorEndsTheInputAndIsKept) {
    const test::ScratchDirectory dir;
    const int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    BlockLineReader reader(fd, 16);
    std::string_view line;
    EXPECT_FALSE(reader.nextLine(line));
    EXPECT_EQ(reader.readError(), EISDIR);
    ::close(fd);
}

}  // namespace
}  // namespace canxlate::cli
