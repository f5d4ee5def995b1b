// Lines of a file descriptor, read in large blocks by the log readers' line
// reader: a line is a view into the block, so reading a log allocates
// nothing per line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "logs/byte_source.h"
#include "logs/line_reader.h"

namespace canxlate::cli {

class BlockLineReader {
public:
    static constexpr std::size_t kDefaultBlockSize = std::size_t{1} << 20;

    // Does not take ownership of the descriptor.
    explicit BlockLineReader(int fd, std::size_t blockSize = kDefaultBlockSize)
        : source_(fd), lines_(source_, blockSize) {}

    // The next line without its line feed, valid until the next call. False at
    // the end of the input or on a read error (see readError). A last line
    // without a line feed is still a line; a line above a megabyte is cut.
    bool nextLine(std::string_view& line) { return lines_.nextLine(line); }

    // errno of a failed read, 0 if none.
    int readError() const { return lines_.readError(); }
    // Bytes of the input consumed so far, for progress reports.
    uint64_t bytesConsumed() const { return lines_.bytesConsumed(); }

private:
    logs::FdSource source_;
    logs::LineReader lines_;
};

}  // namespace canxlate::cli
