// Line splitting across block boundaries, with blocks far smaller than lines.
#include "block_line_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace canxlate::cli {
namespace {

std::vector<std::string> readAllLines(const std::string& content, std::size_t blockSize) {
    std::FILE* file = std::tmpfile();
    std::fwrite(content.data(), 1, content.size(), file);
    std::rewind(file);
    BlockLineReader reader(::fileno(file), blockSize);
    std::vector<std::string> lines;
    for (std::string_view line; reader.nextLine(line);) lines.emplace_back(line);
    EXPECT_EQ(reader.readError(), 0);
    EXPECT_EQ(reader.bytesConsumed(), content.size());
    std::fclose(file);
    return lines;
}

TEST(BlockLineReader, SameLinesWhateverTheBlockSize) {
    const std::string longLine(100, 'x');
    const std::string content = "first\n\nthird line\r\n" + longLine + "\nlast without line feed";
    const std::vector<std::string> expected = {"first", "", "third line\r", longLine, "last without line feed"};
    for (std::size_t blockSize : {1u, 2u, 3u, 7u, 64u, 4096u}) {
        EXPECT_EQ(readAllLines(content, blockSize), expected) << "block size " << blockSize;
    }
    EXPECT_TRUE(readAllLines("", 4).empty());
    EXPECT_EQ(readAllLines("\n", 4), std::vector<std::string>{""});
    EXPECT_EQ(readAllLines("a\nb\n", 4), (std::vector<std::string>{"a", "b"}));
}

}  // namespace
}  // namespace canxlate::cli
