// NAME=VALUE arguments of the encode command.
#pragma once

#include <optional>
#include <string_view>

namespace canxlate::cli {

struct ChannelAssignment {
    std::string_view name;
    std::string_view valueText;
};

// Splits at the last '=' (a number never holds one); nothing when there is
// no '=' or the name is empty.
std::optional<ChannelAssignment> splitAssignment(std::string_view argument);

// A decimal number as C writes it ("12.5", "-3", "1e3", "+4", "inf", "nan"),
// the whole text and nothing else, independent of the locale.
std::optional<double> parseValue(std::string_view text);

}  // namespace canxlate::cli
