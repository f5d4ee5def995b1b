// Lines of a byte source, read in large blocks. A line is handed out as a
// view into the block, so reading a log allocates nothing per line. A line
// longer than the limit is cut: its first part is handed out, flagged, and
// the rest up to the line feed is passed over, so memory stays bounded
// whatever the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "canxlate/logs/byte_source.h"

namespace canxlate::logs {

class LineReader {
public:
    static constexpr std::size_t kDefaultBlockSize = std::size_t{1} << 16;
    static constexpr std::size_t kDefaultLineLimit = std::size_t{1} << 20;

    explicit LineReader(ByteSource& source, std::size_t blockSize = kDefaultBlockSize,
                        std::size_t lineLimit = kDefaultLineLimit);

    // The next line without its end (LF, CR LF or a lone CR), valid until the
    // next call. False
    // at the end of the input or on a read error. A last line without a line
    // feed is still a line.
    bool nextLine(std::string_view& line);

    // The last line was longer than the limit and was cut.
    bool lineWasCut() const { return lineWasCut_; }
    int readError() const { return source_.error(); }
    // Bytes of the input consumed so far, for progress reports.
    uint64_t bytesConsumed() const { return bytesConsumed_; }

private:
    bool refill();
    void passOverRestOfLine();
    // Reads into the buffer's free end; returns the bytes read.
    std::size_t readMore();

    ByteSource& source_;
    std::vector<char> buffer_;
    std::size_t lineLimit_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool endOfInput_ = false;
    bool lineWasCut_ = false;
    bool carriages_ = false;     // a carriage return has been read: lines may end with one
    bool skipLineFeed_ = false;  // the last line ended with a CR: a line feed right after it belongs to it
    uint64_t bytesConsumed_ = 0;
};

}  // namespace canxlate::logs
