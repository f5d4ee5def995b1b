// The second pass: definitions into the model, every cross-reference resolved
// in one place and every problem reported where the file has it.
#pragma once

#include <string>
#include <string_view>

#include "canxlate/database/database.h"
#include "canxlate/dbc/definitions.h"
#include "canxlate/dbc/diagnostic_sink.h"

namespace canxlate::dbc {

// Reads a whole DBC text into database (diagnostics included). When owner is
// given, the string holding text, it is emptied once the definitions read are
// resolved, before the checks of multiplexing and overlaps and the lookup
// tables, so that text and tables are never held at once. Throws std::bad_alloc.
void readDbc(std::string_view text, db::Database& database, std::string* owner = nullptr);

}  // namespace canxlate::dbc
