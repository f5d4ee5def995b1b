#include "printable_text.h"

#include <cstdint>
#include <cstring>

namespace canxlate::cli {

namespace {

constexpr uint64_t kEveryByte = 0x0101010101010101u;

// Whether any of the eight bytes is below 0x20 or is 0x7F (bytes from 0x80
// on, UTF-8 included, are not): the classic test for a zero byte, on the
// word less 0x20 in each byte and on the word with 0x7F bytes made zero.
bool hasControl(uint64_t word) {
    const uint64_t high = 0x80 * kEveryByte;
    const uint64_t below = (word - 0x20 * kEveryByte) & ~word & high;
    const uint64_t del = word ^ (0x7F * kEveryByte);
    return (below | ((del - kEveryByte) & ~del & high)) != 0;
}

}  // namespace

char* writePrintable(char* out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::size_t i = 0;
    // Eight bytes at a time while none needs escaping: most texts never do.
    for (uint64_t word = 0; i + 8 <= text.size(); i += 8, out += 8) {
        std::memcpy(&word, text.data() + i, 8);
        if (hasControl(word)) break;
        std::memcpy(out, &word, 8);
    }
    for (; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte != 0x7F) {
            *out++ = text[i];
            continue;
        }
        *out++ = '\\';
        *out++ = 'x';
        *out++ = kHex[byte >> 4];
        *out++ = kHex[byte & 0xF];
    }
    return out;
}

std::string printable(std::string_view text) {
    std::string result(printableMaxLength(text.size()), '\0');
    result.resize(static_cast<std::size_t>(writePrintable(result.data(), text) - result.data()));
    return result;
}

}  // namespace canxlate::cli
