#include "channel_assignment.h"

#include <charconv>

namespace canxlate::cli {

std::optional<ChannelAssignment> splitAssignment(std::string_view argument) {
    const std::size_t equals = argument.rfind('=');
    if (equals == std::string_view::npos || equals == 0) return std::nullopt;
    return ChannelAssignment{argument.substr(0, equals), argument.substr(equals + 1)};
}

std::optional<double> parseValue(std::string_view text) {
    if (text.size() > 1 && text[0] == '+' && text[1] != '-') text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

}  // namespace canxlate::cli
