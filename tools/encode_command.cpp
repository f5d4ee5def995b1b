// canxlate encode DB MESSAGE NAME=VALUE...
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "channel_assignment.h"
#include "command_line.h"
#include "commands.h"
#include "database.h"
#include "diagnostics.h"
#include "exit_status.h"
#include "help_text.h"
#include "hex_digits.h"

namespace canxlate::cli {
namespace {

constexpr OptionSpec kEncodeOptions[] = {{"--clamp"}, {"--help"}, {"-h"}};

// A value given as a value-table text ("DRIVE"): the physical value of its raw
// value.
std::optional<double> valueOfText(const cxl_signal* signal, std::string_view text) {
    cxl_signal_info info{};
    if (cxl_get_signal_info(signal, &info) != CXL_OK) return std::nullopt;
    for (std::size_t i = 0; i < info.value_text_count; ++i) {
        int64_t raw = 0;
        const char* entry = nullptr;
        if (cxl_signal_value_text(signal, i, &raw, &entry) == CXL_OK && text == entry)
            return rawKeyNumber(info, raw) * info.factor + info.offset;
    }
    return std::nullopt;
}

std::string rangeProblem(const cxl_signal* signal, const cxl_named_value& value) {
    cxl_signal_info info{};
    cxl_get_signal_info(signal, &info);
    return std::string(info.name) + '=' + numberText(value.value) + " is outside its range " +
           numberText(info.minimum) + ".." + numberText(info.maximum) + " (--clamp applies the range)";
}

std::string frameText(const cxl_message_info& info, const uint8_t* payload) {
    std::string text = messageIdText(info) + (info.fd ? "##0" : "#");
    for (std::size_t i = 0; i < info.length; ++i) {
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
        reportUsageError("encode", positionals.empty() ? "missing database file" : "missing message");
        return kExitUsage;
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

    const std::string path(positionals[0]);
    const Database database = openDatabase(path, DiagnosticLevel::kWarnings);
    if (!database) return kExitFailure;
    const cxl_message* message = findMessageArgument(database.get(), path, positionals[1]);
    if (message == nullptr) return kExitFailure;
    cxl_message_info info{};
    cxl_get_message_info(message, &info);

    std::vector<std::string> names;
    std::vector<cxl_named_value> values;
    names.reserve(assignments.size());
    for (const ChannelAssignment& assignment : assignments) {
        const std::string name(assignment.name);
        const cxl_signal* signal = cxl_find_signal(message, name.c_str());
        if (signal == nullptr) {
            reportError(path + ": message " + info.name + " has no signal '" + name + "'");
            return kExitFailure;
        }
        for (const std::string& given : names) {
            if (given == name) {
                reportError("signal '" + name + "' is given twice");
                return kExitFailure;
            }
        }
        std::optional<double> value = parseValue(assignment.valueText);
        if (!value) value = valueOfText(signal, assignment.valueText);
        if (!value) {
            reportError("bad value '" + std::string(assignment.valueText) + "' for signal '" + name +
                        "': a number or a text of its value table");
            return kExitFailure;
        }
        names.push_back(name);
        values.push_back({nullptr, *value, 0});
    }
    for (std::size_t i = 0; i < values.size(); ++i) values[i].name = names[i].c_str();

    uint8_t payload[64] = {};
    cxl_encode_report report{};
    const uint32_t flags = CXL_KEEP_MISSING | (commandLine->has("--clamp") ? CXL_CLAMP : 0u);
    const cxl_status status =
        cxl_encode(message, values.data(), values.size(), flags, payload, sizeof payload, &report);
    if (status != CXL_OK) {
        std::string problem = report.text[0] != '\0' ? report.text : cxl_status_text(status);
        if (status == CXL_ERR_OUT_OF_RANGE && report.signal != nullptr) {
            cxl_signal_info si{};
            cxl_get_signal_info(report.signal, &si);
            const bool hasRange = !(si.minimum == 0.0 && si.maximum == 0.0);  // else: too large for a float32
            for (const cxl_named_value& value : values) {
                if (hasRange && std::strcmp(value.name, si.name) == 0) problem = rangeProblem(report.signal, value);
            }
        }
        reportError(std::string(info.name) + ": " + problem);
        return kExitFailure;
    }
    for (const cxl_named_value& value : values) {
        if (value.clamped)
            reportError(std::string(value.name) + '=' + numberText(value.value) + " clamped to its range");
    }
    const std::string frame = frameText(info, payload);
    if (std::fwrite(frame.data(), 1, frame.size(), stdout) != frame.size() || std::fflush(stdout) != 0) {
        reportError("cannot write the output");
        return kExitFailure;
    }
    return kExitSuccess;
}

}  // namespace canxlate::cli
