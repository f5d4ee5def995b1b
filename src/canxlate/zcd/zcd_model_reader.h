// ".zcd" documents into the database model, read by the same XML reader as
// the 16-function library's import.
#pragma once

#include <string_view>

#include "canxlate/database/database.h"

namespace canxlate::zcd {

// False when the text is not a ".zcd" document. Throws std::bad_alloc.
bool readZcd(std::string_view text, db::Database& database);

}  // namespace canxlate::zcd
