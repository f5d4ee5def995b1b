// canxlate info DB [--json]
#include <cstdio>
#include <string>

#include "command_line.h"
#include "commands.h"
#include "database_loading.h"
#include "diagnostics.h"
#include "exit_status.h"
#include "help_text.h"
#include "json_string.h"

namespace canxlate::cli {
namespace {

constexpr OptionSpec kInfoOptions[] = {{"--json"}, {"--help"}, {"-h"}};

std::string hexId(uint32_t id) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%03X", id);
    return text;
}

std::string listingText(const MessageCatalog& catalog) {
    std::string text;
    std::size_t channels = 0;
    for (const MessageInfo& message : catalog.messages()) {
        text += "message " + hexId(message.id) + " (" + std::to_string(message.id) +
                "): " + std::to_string(message.payloadSize) + " bytes, " + std::to_string(message.channelNames.size()) +
                (message.channelNames.size() == 1 ? " channel\n" : " channels\n");
        for (const std::string& name : message.channelNames) text += "  " + name + '\n';
        channels += message.channelNames.size();
    }
    text += std::to_string(catalog.messages().size()) + " messages, " + std::to_string(channels) + " channels\n";
    return text;
}

std::string listingJson(const MessageCatalog& catalog) {
    std::string json = "{\"messages\": [";
    const char* separator = "\n";
    for (const MessageInfo& message : catalog.messages()) {
        json += separator;
        json += "  {\"id\": " + std::to_string(message.id) + ", \"hex\": \"" + hexId(message.id) +
                "\", \"size\": " + std::to_string(message.payloadSize) + ", \"channels\": [";
        for (std::size_t i = 0; i < message.channelNames.size(); ++i) {
            if (i > 0) json += ", ";
            appendJsonString(json, message.channelNames[i]);
        }
        json += "]}";
        separator = ",\n";
    }
    json += catalog.messages().empty() ? "]}\n" : "\n]}\n";
    return json;
}

}  // namespace

int runInfo(std::span<const std::string_view> arguments) {
    std::string error;
    const auto commandLine = parseCommandLine(arguments, kInfoOptions, error);
    if (!commandLine) {
        reportUsageError("info", error);
        return kExitUsage;
    }
    if (commandLine->has("--help") || commandLine->has("-h")) {
        std::fwrite(kInfoHelp.data(), 1, kInfoHelp.size(), stdout);
        return kExitSuccess;
    }
    if (commandLine->positionals.size() != 1) {
        reportUsageError("info", commandLine->positionals.empty() ? "missing database file" : "too many arguments");
        return kExitUsage;
    }
    MessageCatalog catalog;
    if (!loadDatabase(std::string(commandLine->positionals[0]), {}, catalog)) return kExitFailure;
    const std::string listing = commandLine->has("--json") ? listingJson(catalog) : listingText(catalog);
    if (std::fwrite(listing.data(), 1, listing.size(), stdout) != listing.size() || std::fflush(stdout) != 0) {
        reportError("cannot write the output");
        return kExitFailure;
    }
    return kExitSuccess;
}

}  // namespace canxlate::cli
