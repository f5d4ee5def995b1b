// CSV fields as RFC 4180 writes them: a field holding a comma, a double quote,
// a line break or leading or trailing blanks is put in double quotes, and its
// double quotes are doubled. Control characters are written as \xNN (see
// printable_text.h), line breaks included.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace canxlate::cli {

bool csvFieldNeedsQuotes(std::string_view field);

// Room needed at the destination of writeCsvField for any field of this size.
inline constexpr std::size_t csvFieldMaxLength(std::size_t fieldSize) { return 4 * fieldSize + 2; }

char* writeCsvField(char* out, std::string_view field);
std::string csvField(std::string_view field);

}  // namespace canxlate::cli
