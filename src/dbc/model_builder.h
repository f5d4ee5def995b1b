// The second pass: definitions into the model, every cross-reference resolved
// in one place and every problem reported where the file has it.
#pragma once

#include "database/database.h"
#include "dbc/definitions.h"
#include "dbc/diagnostic_sink.h"

namespace canxlate::dbc {

// Throws std::bad_alloc.
void buildModel(Definitions& definitions, DiagnosticSink& sink, db::Database& database);

// Reads a whole DBC text into database (diagnostics included). Throws std::bad_alloc.
void readDbc(std::string_view text, db::Database& database);

}  // namespace canxlate::dbc
