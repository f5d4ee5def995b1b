// canxlate info DB [--json] and canxlate check DB
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "database.h"
#include "diagnostics.h"
#include "exit_status.h"
#include "help_text.h"
#include "json_string.h"

namespace canxlate::cli {
namespace {

constexpr OptionSpec kInfoOptions[] = {{"--json"}, {"--help"}, {"-h"}};

struct SignalView {
    const cxl_signal* handle;
    cxl_signal_info info;
};

std::vector<SignalView> signalsOf(const cxl_message* message, std::size_t count) {
    std::vector<SignalView> signals;
    for (std::size_t i = 0; i < count; ++i) {
        SignalView view{cxl_signal_at(message, i), {}};
        if (view.handle != nullptr && cxl_get_signal_info(view.handle, &view.info) == CXL_OK) signals.push_back(view);
    }
    return signals;
}

const char* byteOrderName(int32_t order) { return order == CXL_BYTE_ORDER_BIG_ENDIAN ? "big-endian" : "little-endian"; }

const char* valueTypeName(int32_t type) {
    switch (type) {
        case CXL_VALUE_SIGNED: return "signed";
        case CXL_VALUE_SINGLE: return "float";
        case CXL_VALUE_DOUBLE: return "double";
        default: return "unsigned";
    }
}

const char* muxRoleName(int32_t role) {
    switch (role) {
        case CXL_MUX_SWITCH: return "switch";
        case CXL_MUX_MULTIPLEXED: return "multiplexed";
        case CXL_MUX_MULTIPLEXED_SWITCH: return "multiplexed switch";
        default: return "plain";
    }
}

// "0", "1-3, 7": the switch values that carry a multiplexed signal.
std::string branchText(const SignalView& signal) {
    std::string text;
    for (std::size_t i = 0; i < signal.info.mux_range_count; ++i) {
        uint64_t low = 0;
        uint64_t high = 0;
        if (cxl_signal_mux_range(signal.handle, i, &low, &high) != CXL_OK) continue;
        if (!text.empty()) text += ", ";
        text += std::to_string(low);
        if (high != low) text += '-' + std::to_string(high);
    }
    return text;
}

std::string quoted(const char* text) {
    std::string result;
    appendJsonString(result, text == nullptr ? "" : text);
    return result;
}

// ---- Text ------------------------------------------------------------------

void appendSignalText(std::string& out, const SignalView& signal, const std::string& indent) {
    const cxl_signal_info& s = signal.info;
    out += indent + s.name + ": start " + std::to_string(s.start_bit) + ", " + std::to_string(s.length) +
           (s.length == 1 ? " bit " : " bits ") + byteOrderName(s.byte_order) + ' ' + valueTypeName(s.value_type) +
           ", factor " + numberText(s.factor) + ", offset " + numberText(s.offset);
    if (s.minimum != 0 || s.maximum != 0) out += ", range " + numberText(s.minimum) + ".." + numberText(s.maximum);
    if (s.unit != nullptr && *s.unit != '\0') out += ", unit " + quoted(s.unit);
    if (s.mux_role == CXL_MUX_SWITCH || s.mux_role == CXL_MUX_MULTIPLEXED_SWITCH) out += ", multiplexer switch";
    if (s.decodable == 0) out += " (cannot be decoded)";
    out += '\n';
    if (s.value_text_count > 0) {
        out += indent + "  values:";
        for (std::size_t i = 0; i < s.value_text_count; ++i) {
            int64_t raw = 0;
            const char* text = nullptr;
            if (cxl_signal_value_text(signal.handle, i, &raw, &text) != CXL_OK) continue;
            out += (i == 0 ? " " : ", ") + rawKeyText(s, raw) + ' ' + quoted(text);
        }
        out += '\n';
    }
}

// The signals that a switch (null: the message itself) carries, grouped by
// the switch values that select them, with the switches' own branches below.
void appendBranchesText(std::string& out, const std::vector<SignalView>& signals, const cxl_signal* parent,
                        const std::string& indent) {
    std::vector<std::string> branches;
    for (const SignalView& signal : signals) {
        if (signal.info.mux_switch != parent) continue;
        if (parent == nullptr) {
            appendSignalText(out, signal, indent);
            if (signal.info.mux_role == CXL_MUX_SWITCH) appendBranchesText(out, signals, signal.handle, indent + "  ");
            continue;
        }
        const std::string branch = branchText(signal);
        bool known = false;
        for (const std::string& b : branches) known = known || b == branch;
        if (!known) branches.push_back(branch);
    }
    cxl_signal_info switchInfo{};
    if (parent != nullptr) cxl_get_signal_info(parent, &switchInfo);
    for (const std::string& branch : branches) {
        out += indent + "when " + switchInfo.name + " = " + branch + ":\n";
        for (const SignalView& signal : signals) {
            if (signal.info.mux_switch != parent || branchText(signal) != branch) continue;
            appendSignalText(out, signal, indent + "  ");
            if (signal.info.mux_role == CXL_MUX_MULTIPLEXED_SWITCH)
                appendBranchesText(out, signals, signal.handle, indent + "    ");
        }
    }
}

std::string listingText(const cxl_database* database) {
    cxl_database_info info{};
    cxl_get_database_info(database, &info);
    std::string out;
    std::size_t signalTotal = 0;
    for (std::size_t m = 0; m < info.message_count; ++m) {
        const cxl_message* message = cxl_message_at(database, m);
        cxl_message_info mi{};
        if (cxl_get_message_info(message, &mi) != CXL_OK) continue;
        out += messageIdText(mi) + ' ' + mi.name + ": " + (mi.extended ? "extended" : "standard") +
               (mi.fd ? ", CAN FD, " : ", ") + std::to_string(mi.length) + " bytes";
        for (std::size_t i = 0; i < mi.sender_count; ++i)
            out += (i == 0 ? ", sent by " : " ") + std::string(cxl_message_sender(message, i));
        if (mi.cycle_time_ms >= 0) out += ", every " + std::to_string(mi.cycle_time_ms) + " ms";
        out += ", " + std::to_string(mi.signal_count) + (mi.signal_count == 1 ? " signal\n" : " signals\n");
        appendBranchesText(out, signalsOf(message, mi.signal_count), nullptr, "  ");
        signalTotal += mi.signal_count;
    }
    out += std::to_string(info.message_count) + " messages, " + std::to_string(signalTotal) + " signals, " +
           std::to_string(info.node_count) + " nodes\n";
    return out;
}

// ---- JSON ------------------------------------------------------------------

std::string jsonNumber(double value) { return std::isfinite(value) ? numberText(value) : "null"; }

void appendSignalJson(std::string& out, const SignalView& signal) {
    const cxl_signal_info& s = signal.info;
    out += "{\"name\": " + quoted(s.name) + ", \"start_bit\": " + std::to_string(s.start_bit) +
           ", \"length\": " + std::to_string(s.length) + ", \"byte_order\": \"" + byteOrderName(s.byte_order) +
           "\", \"type\": \"" + valueTypeName(s.value_type) + "\", \"factor\": " + jsonNumber(s.factor) +
           ", \"offset\": " + jsonNumber(s.offset) + ", \"minimum\": " + jsonNumber(s.minimum) +
           ", \"maximum\": " + jsonNumber(s.maximum) + ", \"unit\": " + quoted(s.unit) +
           ", \"decodable\": " + (s.decodable ? "true" : "false") + ", \"multiplexing\": \"" + muxRoleName(s.mux_role) +
           '"';
    if (s.mux_switch != nullptr) {
        cxl_signal_info switchInfo{};
        cxl_get_signal_info(s.mux_switch, &switchInfo);
        out += ", \"switch\": " + quoted(switchInfo.name) + ", \"switch_values\": [";
        for (std::size_t i = 0; i < s.mux_range_count; ++i) {
            uint64_t low = 0;
            uint64_t high = 0;
            cxl_signal_mux_range(signal.handle, i, &low, &high);
            out += (i == 0 ? "[" : ", [") + std::to_string(low) + ", " + std::to_string(high) + ']';
        }
        out += ']';
    }
    out += ", \"receivers\": [";
    for (std::size_t i = 0; i < s.receiver_count; ++i)
        out += (i == 0 ? "" : ", ") + quoted(cxl_signal_receiver(signal.handle, i));
    out += "], \"values\": [";
    for (std::size_t i = 0; i < s.value_text_count; ++i) {
        int64_t raw = 0;
        const char* text = nullptr;
        cxl_signal_value_text(signal.handle, i, &raw, &text);
        out += (i == 0 ? "{\"raw\": " : ", {\"raw\": ") + rawKeyText(s, raw) + ", \"text\": " + quoted(text) + '}';
    }
    out += "], \"comment\": " + quoted(s.comment) + '}';
}

std::string listingJson(const cxl_database* database) {
    cxl_database_info info{};
    cxl_get_database_info(database, &info);
    std::string out =
        "{\"version\": " + quoted(info.version) + ", \"comment\": " + quoted(info.comment) + ",\n \"nodes\": [";
    for (std::size_t i = 0; i < info.node_count; ++i) out += (i == 0 ? "" : ", ") + quoted(cxl_node_name(database, i));
    out += "],\n \"messages\": [";
    for (std::size_t m = 0; m < info.message_count; ++m) {
        const cxl_message* message = cxl_message_at(database, m);
        cxl_message_info mi{};
        if (cxl_get_message_info(message, &mi) != CXL_OK) continue;
        out += m == 0 ? "\n  " : ",\n  ";
        out += "{\"id\": " + std::to_string(mi.id) + ", \"hex\": \"" + messageIdText(mi) +
               "\", \"extended\": " + (mi.extended ? "true" : "false") + ", \"fd\": " + (mi.fd ? "true" : "false") +
               ", \"name\": " + quoted(mi.name) + ", \"length\": " + std::to_string(mi.length) +
               ", \"cycle_time_ms\": " + (mi.cycle_time_ms >= 0 ? std::to_string(mi.cycle_time_ms) : "null") +
               ", \"senders\": [";
        for (std::size_t i = 0; i < mi.sender_count; ++i)
            out += (i == 0 ? "" : ", ") + quoted(cxl_message_sender(message, i));
        out += "], \"comment\": " + quoted(mi.comment) + ", \"signals\": [";
        const std::vector<SignalView> signals = signalsOf(message, mi.signal_count);
        for (std::size_t i = 0; i < signals.size(); ++i) {
            out += i == 0 ? "\n    " : ",\n    ";
            appendSignalJson(out, signals[i]);
        }
        out += "]}";
    }
    out += info.message_count == 0 ? "]}\n" : "\n ]}\n";
    return out;
}

int writeOut(const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
        reportError("cannot write the output");
        return kExitFailure;
    }
    return kExitSuccess;
}

// The database path of info or check; nothing after a usage error or help.
std::optional<CommandLine> parseDatabaseCommand(std::string_view command, std::span<const std::string_view> arguments,
                                                std::string_view help, int& status) {
    std::string error;
    auto commandLine = parseCommandLine(arguments, kInfoOptions, error);
    if (commandLine && command == "check" && commandLine->has("--json")) error = "unknown option '--json'";
    if (!commandLine || !error.empty()) {
        reportUsageError(command, error);
        status = kExitUsage;
        return std::nullopt;
    }
    if (commandLine->has("--help") || commandLine->has("-h")) {
        std::fwrite(help.data(), 1, help.size(), stdout);
        status = kExitSuccess;
        return std::nullopt;
    }
    if (commandLine->positionals.size() != 1) {
        reportUsageError(command, commandLine->positionals.empty() ? "missing database file" : "too many arguments");
        status = kExitUsage;
        return std::nullopt;
    }
    return commandLine;
}

}  // namespace

int runInfo(std::span<const std::string_view> arguments) {
    int status = kExitSuccess;
    const auto commandLine = parseDatabaseCommand("info", arguments, kInfoHelp, status);
    if (!commandLine) return status;
    const Database database = openDatabase(std::string(commandLine->positionals[0]), DiagnosticLevel::kAll);
    if (!database) return kExitFailure;
    return writeOut(commandLine->has("--json") ? listingJson(database.get()) : listingText(database.get()));
}

int runCheck(std::span<const std::string_view> arguments) {
    int status = kExitSuccess;
    const auto commandLine = parseDatabaseCommand("check", arguments, kCheckHelp, status);
    if (!commandLine) return status;
    DiagnosticCounts counts;
    const Database database = openDatabase(std::string(commandLine->positionals[0]), DiagnosticLevel::kAll, &counts);
    if (!database) return kExitFailure;
    return counts.errors > 0 ? kExitFailure : kExitSuccess;
}

}  // namespace canxlate::cli
