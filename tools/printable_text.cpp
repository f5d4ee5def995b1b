#include "printable_text.h"

namespace canxlate::cli {

char* writePrintable(char* out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            *out++ = c;
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
