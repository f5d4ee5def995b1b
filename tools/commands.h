// The subcommands. Each takes the arguments after its name and returns the
// exit status.
#pragma once

#include <span>
#include <string_view>

namespace canxlate::cli {

int runInfo(std::span<const std::string_view> arguments);
int runCheck(std::span<const std::string_view> arguments);
int runDecode(std::span<const std::string_view> arguments);
int runEncode(std::span<const std::string_view> arguments);
int runConvert(std::span<const std::string_view> arguments);

}  // namespace canxlate::cli
