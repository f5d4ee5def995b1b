#include "database.h"

#include "can_id_text.h"
#include "diagnostics.h"
#include "shortest_double.h"

namespace canxlate::cli {
namespace {

const char* severityName(int32_t severity) {
    switch (severity) {
        case CXL_SEVERITY_ERROR: return "error";
        case CXL_SEVERITY_WARNING: return "warning";
        default: return "note";
    }
}

std::string plural(std::size_t count, const char* word) {
    return std::to_string(count) + ' ' + word + (count == 1 ? "" : "s");
}

}  // namespace

Database openDatabase(const std::string& path, DiagnosticLevel level, DiagnosticCounts* counts) {
    cxl_database* opened = nullptr;
    if (const cxl_status status = cxl_open_file(path.c_str(), &opened); status != CXL_OK) {
        reportError(path + ": cannot open the database: " + cxl_status_text(status));
        return nullptr;
    }
    Database database(opened);
    DiagnosticCounts found;
    std::string text;
    for (std::size_t i = 0, n = cxl_diagnostic_count(opened); i < n; ++i) {
        cxl_diagnostic diagnostic{};
        if (cxl_get_diagnostic(opened, i, &diagnostic) != CXL_OK) continue;
        if (diagnostic.severity == CXL_SEVERITY_ERROR) {
            ++found.errors;
        } else if (diagnostic.severity == CXL_SEVERITY_WARNING) {
            ++found.warnings;
        } else {
            ++found.notes;
            if (level == DiagnosticLevel::kWarnings) continue;
        }
        text += path + ':' + std::to_string(diagnostic.line) + ':' + std::to_string(diagnostic.column) + ": " +
                severityName(diagnostic.severity) + ": " + diagnostic.text + '\n';
    }
    const bool anyShown = found.errors + found.warnings > 0 || (level == DiagnosticLevel::kAll && found.notes > 0);
    if (anyShown) {
        text += path + ": " + plural(found.errors, "error") + ", " + plural(found.warnings, "warning");
        if (level == DiagnosticLevel::kAll) text += ", " + plural(found.notes, "note");
        text += '\n';
        std::fputs(text.c_str(), stderr);
    }
    if (counts != nullptr) *counts = found;
    return database;
}

const cxl_message* findMessageArgument(const cxl_database* database, const std::string& path, std::string_view text) {
    if (const cxl_message* byName = cxl_find_message_by_name(database, std::string(text).c_str())) return byName;
    if (const std::optional<CanId> id = parseCanIdArgument(text)) {
        if (const cxl_message* byId = cxl_find_message(database, id->value, id->extended ? 1 : 0)) return byId;
    }
    reportError(path + ": no message '" + std::string(text) + "' (a name, or an ID in hex as candump writes it)");
    return nullptr;
}

std::string messageIdText(const cxl_message_info& info) { return canIdText({info.id, info.extended != 0}); }

std::string numberText(double value) {
    char text[kShortestDoubleMaxLength];
    return std::string(text, writeShortestDouble(text, value));
}

double rawKeyNumber(const cxl_signal_info& signal, int64_t raw) {
    if (signal.value_type == CXL_VALUE_UNSIGNED) return static_cast<double>(static_cast<uint64_t>(raw));
    return static_cast<double>(raw);
}

std::string rawKeyText(const cxl_signal_info& signal, int64_t raw) {
    if (signal.value_type == CXL_VALUE_UNSIGNED) return std::to_string(static_cast<uint64_t>(raw));
    return std::to_string(raw);
}

}  // namespace canxlate::cli
