// CAN identifiers as text, the way candump writes them: three hex digits for
// an 11-bit (standard) ID, eight for a 29-bit (extended) ID.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace canxlate::cli {

inline constexpr uint32_t kLargestStandardId = 0x7FF;
inline constexpr uint32_t kExtendedIdMask = 0x1FFFFFFF;

struct CanId {
    uint32_t value = 0;
    bool extended = false;
};

// Writes the ID's digits to out (room for 8 characters needed) and returns
// the end of what was written.
char* writeCanId(char* out, CanId id);
std::string canIdText(CanId id);

// Reads an ID given on the command line: hex digits as candump writes them,
// with or without "0x". Eight digits, or a value above 7FF, make it extended.
// Empty, non-hex, longer than 8 digits or above 1FFFFFFF: no value.
std::optional<CanId> parseCanIdArgument(std::string_view text);

}  // namespace canxlate::cli
