// The second pass: definitions into the model, every cross-reference resolved
// in one place and every problem reported where the file has it.
#pragma once

#include "canxlate/database/database.h"
#include "canxlate/dbc/definitions.h"
#include "canxlate/dbc/diagnostic_sink.h"

namespace canxlate::dbc {

// Reads a whole DBC text into database (diagnostics included). Throws std::bad_alloc.
void readDbc(std::string_view text, db::Database& database);

}  // namespace canxlate::dbc
