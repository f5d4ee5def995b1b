// canxlate: decodes CAN logs and encodes frames through libcanxlate.
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "diagnostics.h"
#include "exit_status.h"
#include "help_text.h"
#include "terminal.h"

namespace {

using canxlate::cli::kExitSuccess;
using canxlate::cli::kExitUsage;

int printHelp(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return kExitSuccess;
}

int runHelp(std::span<const std::string_view> arguments) {
    if (arguments.empty()) return printHelp(canxlate::cli::kProgramHelp);
    if (arguments[0] == "info") return printHelp(canxlate::cli::kInfoHelp);
    if (arguments[0] == "check") return printHelp(canxlate::cli::kCheckHelp);
    if (arguments[0] == "decode") return printHelp(canxlate::cli::kDecodeHelp);
    if (arguments[0] == "encode") return printHelp(canxlate::cli::kEncodeHelp);
    if (arguments[0] == "convert") return printHelp(canxlate::cli::kConvertHelp);
    canxlate::cli::reportUsageError("", "no command '" + std::string(arguments[0]) + "'");
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    canxlate::cli::useBinaryStandardStreams();
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    if (arguments.empty()) {
        std::fwrite(canxlate::cli::kProgramHelp.data(), 1, canxlate::cli::kProgramHelp.size(), stderr);
        return kExitUsage;
    }
    const std::string_view command = arguments[0];
    const std::span<const std::string_view> rest(arguments.begin() + 1, arguments.end());
    if (command == "info") return canxlate::cli::runInfo(rest);
    if (command == "check") return canxlate::cli::runCheck(rest);
    if (command == "decode") return canxlate::cli::runDecode(rest);
    if (command == "encode") return canxlate::cli::runEncode(rest);
    if (command == "convert") return canxlate::cli::runConvert(rest);
    if (command == "help") return runHelp(rest);
    if (command == "--help" || command == "-h") return printHelp(canxlate::cli::kProgramHelp);
    if (command == "--version") return printHelp("canxlate " CANXLATE_VERSION "\n");
    canxlate::cli::reportUsageError("", "unknown command '" + std::string(command) + "'");
    return kExitUsage;
}
