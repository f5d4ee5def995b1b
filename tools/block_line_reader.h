// Lines of a file descriptor, read in large blocks. A line is handed out as a
// view into the block, so reading a log allocates nothing per line; only a
// line longer than the whole buffer makes it grow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace canxlate::cli {

class BlockLineReader {
public:
    static constexpr std::size_t kDefaultBlockSize = std::size_t{1} << 20;

    // Does not take ownership of the descriptor.
    explicit BlockLineReader(int fd, std::size_t blockSize = kDefaultBlockSize);

    // The next line without its line feed, valid until the next call. False at
    // the end of the input or on a read error (see readError). A last line
    // without a line feed is still a line.
    bool nextLine(std::string_view& line);

    // errno of a failed read, 0 if none.
    int readError() const { return readError_; }
    // Bytes of the input consumed so far, for progress reports.
    uint64_t bytesConsumed() const { return bytesConsumed_; }

private:
    bool refill();

    int fd_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool endOfInput_ = false;
    int readError_ = 0;
    uint64_t bytesConsumed_ = 0;
};

}  // namespace canxlate::cli
