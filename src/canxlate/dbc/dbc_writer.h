// A database as DBC text, in one canonical layout: sections in a fixed
// order, one statement a line, value texts from the highest raw value down,
// numbers in the shortest form that reads back as the same double.
#pragma once

#include <string>

#include "canxlate/database/database.h"

namespace canxlate::dbc {

// Throws std::bad_alloc.
std::string writeDbc(const db::Database& database);

// The shortest text that reads back as value: integers without a fraction,
// an exponent only for very small or large magnitudes.
void appendNumber(std::string& out, double value);

// Text between double quotes: '"' and a '\' that a reader would take as an
// escape are escaped with '\'.
void appendQuoted(std::string& out, std::string_view text);

}  // namespace canxlate::dbc
