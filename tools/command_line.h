// Arguments of one subcommand: options (--name or --name=value, anywhere
// among the other arguments; "--" ends them) and positional arguments.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace canxlate::cli {

struct OptionSpec {
    std::string_view name;  // with its dashes: "--csv", "-h"
    bool takesValue = false;
};

struct CommandLine {
    std::vector<std::string_view> positionals;
    std::vector<std::pair<std::string_view, std::string_view>> options;  // in the order given

    bool has(std::string_view name) const;
    std::vector<std::string> values(std::string_view name) const;
};

// On an unknown option or a missing value, returns nothing and sets error.
std::optional<CommandLine> parseCommandLine(std::span<const std::string_view> arguments,
                                            std::span<const OptionSpec> specs, std::string& error);

}  // namespace canxlate::cli
