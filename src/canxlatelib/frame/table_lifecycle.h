// Creating and closing message tables.
#pragma once

#include <cstdint>

#include "canxlatelib/frame/table_registry.h"

namespace canxlate {

int32_t createTable(TableHandle* handleOut);
int32_t closeTable(TableHandle handle) noexcept;

}  // namespace canxlate
