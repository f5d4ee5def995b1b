// Output buffering shared by the text log writers: lines are put together in
// a block and handed to the sink a block at a time.
#pragma once

#include <cstring>
#include <string_view>
#include <vector>

#include "canxlate/logs/byte_sink.h"
#include "canxlate/logs/frame_record.h"
#include "canxlate/logs/hex_text.h"

namespace canxlate::logs {

class TextBuffer {
public:
    static constexpr std::size_t kFlushSize = 1u << 16;

    explicit TextBuffer(ByteSink& sink) : sink_(sink) { text_.reserve(kFlushSize + 1024); }

    void append(std::string_view text) { text_.insert(text_.end(), text.begin(), text.end()); }
    void append(char c) { text_.push_back(c); }
    void appendHex(uint32_t value, int digits) {
        for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) text_.push_back(kUpperHex[(value >> shift) & 0xF]);
    }
    void appendDecimal(uint32_t value) {
        char digits[10];
        int count = 0;
        do {
            digits[count++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        while (count > 0) text_.push_back(digits[--count]);
    }
    // The value right-aligned in width characters.
    void appendPadded(std::string_view text, std::size_t width) {
        for (std::size_t i = text.size(); i < width; ++i) text_.push_back(' ');
        append(text);
    }
    // Hands the text to the sink once a block is full (or always with force).
    bool flush(bool force = false) {
        if (!force && text_.size() < kFlushSize) return true;
        const bool written = text_.empty() || sink_.write(text_.data(), text_.size());
        text_.clear();
        return written;
    }

private:
    ByteSink& sink_;
    std::vector<char> text_;
};

}  // namespace canxlate::logs
