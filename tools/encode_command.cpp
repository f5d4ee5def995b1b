// canxlate encode DB ID NAME=VALUE...
#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <string>
#include <vector>

#include "can_id_text.h"
#include "channel_assignment.h"
#include "command_line.h"
#include "commands.h"
#include "database_loading.h"
#include "diagnostics.h"
#include "exit_status.h"
#include "help_text.h"
#include "hex_digits.h"
#include "shortest_double.h"
#include "status_names.h"

namespace canxlate::cli {
namespace {

constexpr OptionSpec kEncodeOptions[] = {{"--help"}, {"-h"}};

std::string valueText(double value) {
    char text[kShortestDoubleMaxLength];
    return std::string(text, writeShortestDouble(text, value));
}

std::string frameText(CanId id, const std::array<uint8_t, 8>& payload, uint8_t size) {
    std::string text = canIdText(id) + '#';
    for (std::size_t i = 0; i < size && i < payload.size(); ++i) {
        text += kUpperHexDigits[payload[i] >> 4];
        text += kUpperHexDigits[payload[i] & 0xF];
    }
    return text + '\n';
}

}  // namespace

int runEncode(std::span<const std::string_view> arguments) {
    std::string error;
    const auto commandLine = parseCommandLine(arguments, kEncodeOptions, error);
    if (!commandLine) {
        reportUsageError("encode", error);
        return kExitUsage;
    }
    if (commandLine->has("--help") || commandLine->has("-h")) {
        std::fwrite(kEncodeHelp.data(), 1, kEncodeHelp.size(), stdout);
        return kExitSuccess;
    }
    const auto& positionals = commandLine->positionals;
    if (positionals.size() < 2) {
        reportUsageError("encode", positionals.empty() ? "missing database file" : "missing message ID");
        return kExitUsage;
    }
    const std::string path(positionals[0]);
    const std::optional<CanId> id = parseCanIdArgument(positionals[1]);
    if (!id) {
        reportError("bad message ID '" + std::string(positionals[1]) + "': hex digits up to 1FFFFFFF expected");
        return kExitFailure;
    }
    std::vector<ChannelAssignment> assignments;
    for (std::size_t i = 2; i < positionals.size(); ++i) {
        const auto assignment = splitAssignment(positionals[i]);
        if (!assignment) {
            reportUsageError("encode", "expected NAME=VALUE, got '" + std::string(positionals[i]) + "'");
            return kExitUsage;
        }
        assignments.push_back(*assignment);
    }

    MessageCatalog catalog;
    if (!loadDatabase(path, {}, catalog)) return kExitFailure;
    const int32_t index = catalog.find(id->value);
    if (index == MessageLookup::kNotFound) {
        uint32_t count = 0;
        const int32_t status = getNumberOfChannels(catalog.table(), id->value, &count);
        reportError(path + ": no message " + canIdText(*id) + " (" + statusName(status) + ")");
        return kExitFailure;
    }
    const MessageInfo& message = catalog.messages()[static_cast<std::size_t>(index)];

    std::vector<double> values(message.channelNames.size(), 0.0);
    std::vector<bool> given(values.size(), false);
    for (const ChannelAssignment& assignment : assignments) {
        const auto channel = std::find(message.channelNames.begin(), message.channelNames.end(), assignment.name);
        if (channel == message.channelNames.end()) {
            reportError(path + ": message " + canIdText(*id) + " has no channel '" + std::string(assignment.name) +
                        "'");
            return kExitFailure;
        }
        const auto position = static_cast<std::size_t>(channel - message.channelNames.begin());
        if (given[position]) {
            reportError("channel '" + std::string(assignment.name) + "' is given twice");
            return kExitFailure;
        }
        const std::optional<double> value = parseValue(assignment.valueText);
        if (!value) {
            reportError("bad number '" + std::string(assignment.valueText) + "' for channel '" +
                        std::string(assignment.name) + "'");
            return kExitFailure;
        }
        values[position] = *value;
        given[position] = true;
    }

    const std::vector<double> requested = values;
    std::array<uint8_t, 8> payload{};
    if (const int32_t status = convertChannelToFrame(catalog.table(), id->value, values.data(), payload.data());
        status != kSuccess) {
        reportError(path + ": convertChannelToFrame returned " + statusName(status));
        return kExitFailure;
    }
    // The library writes a clamped value back; any other change is not made.
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (std::bit_cast<uint64_t>(values[i]) != std::bit_cast<uint64_t>(requested[i]))
            reportError(message.channelNames[i] + "=" + valueText(requested[i]) + " clamped to " +
                        valueText(values[i]));
    }
    const std::string frame = frameText(*id, payload, message.payloadSize);
    if (std::fwrite(frame.data(), 1, frame.size(), stdout) != frame.size() || std::fflush(stdout) != 0) {
        reportError("cannot write the output");
        return kExitFailure;
    }
    return kExitSuccess;
}

}  // namespace canxlate::cli
