#include "block_line_reader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace canxlate::cli {

BlockLineReader::BlockLineReader(int fd, std::size_t blockSize) : fd_(fd), buffer_(blockSize) {}

bool BlockLineReader::nextLine(std::string_view& line) {
    std::size_t searchFrom = begin_;
    for (;;) {
        const char* start = buffer_.data() + begin_;
        const void* found = std::memchr(buffer_.data() + searchFrom, '\n', end_ - searchFrom);
        if (found != nullptr) {
            const auto* lineEnd = static_cast<const char*>(found);
            line = {start, static_cast<std::size_t>(lineEnd - start)};
            const std::size_t next = static_cast<std::size_t>(lineEnd - buffer_.data()) + 1;
            bytesConsumed_ += next - begin_;
            begin_ = next;
            return true;
        }
        if (endOfInput_) {
            if (begin_ == end_) return false;
            line = {start, end_ - begin_};
            bytesConsumed_ += end_ - begin_;
            begin_ = end_;
            return true;
        }
        searchFrom = end_ - begin_;  // the partial line moves to the front
        if (!refill()) return false;
    }
}

bool BlockLineReader::refill() {
    const std::size_t pending = end_ - begin_;
    if (pending > 0 && begin_ > 0) std::memmove(buffer_.data(), buffer_.data() + begin_, pending);
    begin_ = 0;
    end_ = pending;
    if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
    for (;;) {
        const ssize_t got = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
        if (got > 0) {
            end_ += static_cast<std::size_t>(got);
            return true;
        }
        if (got == 0) {
            endOfInput_ = true;
            return true;
        }
        if (errno != EINTR) {
            readError_ = errno;
            endOfInput_ = true;
            return false;
        }
    }
}

}  // namespace canxlate::cli
