// Doubles as the shortest text that reads back to the same value, so that a
// decoded value survives a trip through text unchanged.
#pragma once

#include <cstddef>

namespace canxlate::cli {

// Longest text writeShortestDouble produces ("-2.2250738585072014e-308" is 24).
inline constexpr std::size_t kShortestDoubleMaxLength = 32;

// Writes the value at out (room for kShortestDoubleMaxLength characters
// needed) and returns the end. Not-a-number is "nan", infinities "inf" and
// "-inf".
char* writeShortestDouble(char* out, double value);

}  // namespace canxlate::cli
