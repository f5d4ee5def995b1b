// Filling a table from a ".dbc" or ".zcd" file.
#pragma once

#include <cstdint>

#include "frame/table_registry.h"

namespace canxlate {

// Reads the file and adds every selected channel it defines, in file order,
// as addNewchannelDefinition would; channels that are refused are left out.
// Consumes the pending channel selection on every path past the argument
// checks. Throws std::bad_alloc.
int32_t importDefinitionFile(const char* fileName, TableHandle handle);

}  // namespace canxlate
