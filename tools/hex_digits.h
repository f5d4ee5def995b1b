// Hexadecimal digits as the program prints them (IDs, payloads, JSON escapes).
#pragma once

namespace canxlate::cli {

inline constexpr char kUpperHexDigits[] = "0123456789ABCDEF";

}  // namespace canxlate::cli
