#include "canxlate/logs/line_reader.h"

#include <cstring>

namespace canxlate::logs {
namespace {

// The first line end in [from, to): a line feed, or a carriage return
// (alone, or the CR of CR LF) when the input has any. Null when there is none.
const char* findLineEnd(const char* from, const char* to, bool carriages) {
    const auto* feed = static_cast<const char*>(std::memchr(from, '\n', static_cast<std::size_t>(to - from)));
    if (!carriages) return feed;
    const char* until = feed != nullptr ? feed : to;
    const auto* carriage = static_cast<const char*>(std::memchr(from, '\r', static_cast<std::size_t>(until - from)));
    return carriage != nullptr ? carriage : feed;
}

}  // namespace

LineReader::LineReader(ByteSource& source, std::size_t blockSize, std::size_t lineLimit)
    : source_(source), buffer_(blockSize > 0 ? blockSize : 1), lineLimit_(lineLimit > 0 ? lineLimit : 1) {}

bool LineReader::nextLine(std::string_view& line) {
    lineWasCut_ = false;
    if (skipLineFeed_) {
        // The line feed of a CR LF pair whose CR ended the last line.
        if (begin_ == end_ && !endOfInput_ && !refill()) return false;
        if (begin_ < end_ && buffer_[begin_] == '\n') {
            ++begin_;
            ++bytesConsumed_;
        }
        skipLineFeed_ = false;
    }
    std::size_t searchFrom = begin_;
    for (;;) {
        const char* start = buffer_.data() + begin_;
        const char* found = findLineEnd(buffer_.data() + searchFrom, buffer_.data() + end_, carriages_);
        if (found != nullptr && static_cast<std::size_t>(found - start) <= lineLimit_) {
            line = {start, static_cast<std::size_t>(found - start)};
            skipLineFeed_ = *found == '\r';
            const std::size_t next = static_cast<std::size_t>(found - buffer_.data()) + 1;
            bytesConsumed_ += next - begin_;
            begin_ = next;
            return true;
        }
        if (found != nullptr || end_ - begin_ > lineLimit_) {
            lineWasCut_ = true;
            passOverRestOfLine();  // may move the buffer
            line = {buffer_.data() + begin_ - lineLimit_, lineLimit_};
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

// The cut line stays in the buffer (the caller holds a view of it); bytes up
// to and including the line feed are consumed behind it.
void LineReader::passOverRestOfLine() {
    std::size_t at = begin_ + lineLimit_;
    bytesConsumed_ += lineLimit_;
    for (;;) {
        const char* found = findLineEnd(buffer_.data() + at, buffer_.data() + end_, carriages_);
        if (found != nullptr) {
            skipLineFeed_ = *found == '\r';
            const std::size_t next = static_cast<std::size_t>(found - buffer_.data()) + 1;
            bytesConsumed_ += next - at;
            // Keep the cut line's start where the view points; what follows the
            // line feed moves up behind it.
            std::memmove(buffer_.data() + begin_ + lineLimit_, buffer_.data() + next, end_ - next);
            end_ = begin_ + lineLimit_ + (end_ - next);
            begin_ += lineLimit_;
            return;
        }
        bytesConsumed_ += end_ - at;
        if (endOfInput_) {
            end_ = begin_ + lineLimit_;
            begin_ = end_;
            return;
        }
        // Drop the passed-over bytes and read more behind the kept line.
        end_ = begin_ + lineLimit_;
        if (end_ == buffer_.size()) buffer_.resize(buffer_.size() + kDefaultBlockSize);
        const std::size_t got = readMore();
        if (got == 0) endOfInput_ = true;
        at = begin_ + lineLimit_;
    }
}

bool LineReader::refill() {
    const std::size_t pending = end_ - begin_;
    if (pending > 0 && begin_ > 0) std::memmove(buffer_.data(), buffer_.data() + begin_, pending);
    begin_ = 0;
    end_ = pending;
    if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
    if (readMore() == 0) {
        endOfInput_ = true;
        return source_.error() == 0;
    }
    return true;
}

std::size_t LineReader::readMore() {
    const std::size_t got = source_.read(buffer_.data() + end_, buffer_.size() - end_);
    carriages_ = carriages_ || std::memchr(buffer_.data() + end_, '\r', got) != nullptr;
    end_ += got;
    return got;
}

}  // namespace canxlate::logs
