#include "command_line.h"

#include <algorithm>

namespace canxlate::cli {

bool CommandLine::has(std::string_view name) const {
    return std::any_of(options.begin(), options.end(), [&](const auto& option) { return option.first == name; });
}

std::vector<std::string> CommandLine::values(std::string_view name) const {
    std::vector<std::string> found;
    for (const auto& [optionName, value] : options) {
        if (optionName == name) found.emplace_back(value);
    }
    return found;
}

std::optional<CommandLine> parseCommandLine(std::span<const std::string_view> arguments,
                                            std::span<const OptionSpec> specs, std::string& error) {
    CommandLine result;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        // A lone "-" names standard input; "-5" is not an option either.
        const bool looksLikeOption =
            argument.size() > 1 && argument[0] == '-' && !(argument[1] >= '0' && argument[1] <= '9');
        if (optionsEnded || !looksLikeOption) {
            result.positionals.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string_view name = argument.substr(0, equals);
        const auto spec = std::find_if(specs.begin(), specs.end(), [&](const OptionSpec& s) { return s.name == name; });
        if (spec == specs.end()) {
            error = "unknown option '" + std::string(name) + "'";
            return std::nullopt;
        }
        if (!spec->takesValue) {
            if (equals != std::string_view::npos) {
                error = "option '" + std::string(name) + "' takes no value";
                return std::nullopt;
            }
            result.options.emplace_back(name, std::string_view{});
        } else if (equals != std::string_view::npos) {
            result.options.emplace_back(name, argument.substr(equals + 1));
        } else if (i + 1 < arguments.size()) {
            result.options.emplace_back(name, arguments[++i]);
        } else {
            error = "option '" + std::string(name) + "' needs a value";
            return std::nullopt;
        }
    }
    return result;
}

}  // namespace canxlate::cli
