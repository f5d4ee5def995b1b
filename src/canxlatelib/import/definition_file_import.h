// Filling a table from a ".dbc" or ".zcd" file.
#pragma once

#include <cstdint>
#include <cstdio>

#include "canxlatelib/frame/table_registry.h"
#include "shared/definitions/channel_definition_file_loader.h"

namespace canxlate {

// Reads the file and adds every selected channel it defines, in file order,
// as addNewchannelDefinition would; channels that are refused are left out.
// Consumes the pending channel selection on every path past the argument
// checks. Throws std::bad_alloc.
int32_t importDefinitionFile(const char* fileName, TableHandle handle);

// The same for a stream of the given format, open for binary reading (an
// fmemopen buffer, for one); the stream, never null, is read to its end and
// left open.
int32_t importDefinitionStream(std::FILE* stream, DefinitionFormat format, TableHandle handle);

}  // namespace canxlate
