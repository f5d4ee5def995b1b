#include "diagnostics.h"

#include <cstdio>
#include <string>

namespace canxlate::cli {

void reportError(std::string_view message) {
    const std::string line = "canxlate: " + std::string(message) + '\n';
    std::fputs(line.c_str(), stderr);
}

void reportUsageError(std::string_view command, std::string_view message) {
    std::string line = "canxlate";
    if (!command.empty()) line += ' ' + std::string(command);
    line += ": " + std::string(message) + "\nTry 'canxlate";
    if (!command.empty()) line += ' ' + std::string(command);
    line += " --help'.\n";
    std::fputs(line.c_str(), stderr);
}

}  // namespace canxlate::cli
