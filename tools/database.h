// The database named on the command line, opened through libcanxlate, with
// its diagnostics reported the way a compiler reports them.
#pragma once

#include <canxlate.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace canxlate::cli {

struct DatabaseCloser {
    void operator()(cxl_database* database) const { cxl_close(database); }
};
using Database = std::unique_ptr<cxl_database, DatabaseCloser>;

struct DiagnosticCounts {
    std::size_t errors = 0;
    std::size_t warnings = 0;
    std::size_t notes = 0;
};

// Which diagnostics reach standard error: decoding and encoding show what was
// left out or is doubtful; info and check show everything.
enum class DiagnosticLevel { kWarnings, kAll };

// Opens path and reports its diagnostics one a line ("path:line:column:
// error: text") followed by their counts. Null when it cannot be opened
// (reported).
Database openDatabase(const std::string& path, DiagnosticLevel level, DiagnosticCounts* counts = nullptr);

// A message named on the command line: its name, or its ID in hex as candump
// writes it (eight digits or a value above 7FF: extended). Reports and
// returns null when there is none.
const cxl_message* findMessageArgument(const cxl_database* database, const std::string& path, std::string_view text);

// The ID as candump writes it: "100", "18FEF100".
std::string messageIdText(const cxl_message_info& info);
// The shortest text that reads back as value.
std::string numberText(double value);
// A value-table key as a number: an unsigned signal's keys are its fields' bit
// patterns, 64-bit ones included.
double rawKeyNumber(const cxl_signal_info& signal, int64_t raw);
std::string rawKeyText(const cxl_signal_info& signal, int64_t raw);

}  // namespace canxlate::cli
