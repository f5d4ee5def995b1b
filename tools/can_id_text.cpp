#include "can_id_text.h"

#include <charconv>
#include <system_error>

#include "hex_digits.h"

namespace canxlate::cli {

char* writeCanId(char* out, CanId id) {
    const int digits = id.extended ? 8 : 3;
    for (int i = digits - 1; i >= 0; --i) {
        out[i] = kUpperHexDigits[id.value & 0xF];
        id.value >>= 4;
    }
    return out + digits;
}

std::string canIdText(CanId id) {
    char digits[8];
    return std::string(digits, writeCanId(digits, id));
}

std::optional<CanId> parseCanIdArgument(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
    if (text.empty() || text.size() > 8) return std::nullopt;
    uint32_t value = 0;
    const char* end = text.data() + text.size();
    if (const auto [stop, error] = std::from_chars(text.data(), end, value, 16); stop != end || error != std::errc{})
        return std::nullopt;
    if (value > kExtendedIdMask) return std::nullopt;
    return CanId{value, text.size() == 8 || value > kLargestStandardId};
}

}  // namespace canxlate::cli
