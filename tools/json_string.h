// JSON string literals for the machine-readable listing.
#pragma once

#include <string>
#include <string_view>

namespace canxlate::cli {

// Appends text as a quoted JSON string: quote, backslash and control
// characters escaped; other bytes, UTF-8 included, pass through unchanged.
void appendJsonString(std::string& out, std::string_view text);

}  // namespace canxlate::cli
