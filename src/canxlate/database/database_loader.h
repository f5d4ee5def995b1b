// Opening a database from a file or a memory buffer, whichever its format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "canxlate/database/database.h"

namespace canxlate::db {

enum class Format : int32_t { kDbc = 1, kZcd = 2 };

enum class LoadResult : int32_t { kLoaded, kCannotOpen, kNotText, kUnknownFormat };

// Throws std::bad_alloc.
LoadResult loadFromMemory(std::string_view text, Format format, Database& database);
LoadResult loadFromFile(const char* path, Database& database);

}  // namespace canxlate::db
