// Text from inputs (interface, message and signal names, units, value texts)
// as a terminal shows it: control characters (below 0x20, and 0x7F) are
// written as \xNN, so that no escape sequence from a file reaches the
// terminal. Other bytes, UTF-8 included, pass through unchanged.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace canxlate::cli {

// Room needed at the destination of writePrintable for text of this size.
inline constexpr std::size_t printableMaxLength(std::size_t size) { return 4 * size; }

char* writePrintable(char* out, std::string_view text);
std::string printable(std::string_view text);

}  // namespace canxlate::cli
