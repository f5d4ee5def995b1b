// A message's decoding plan, compiled once when the database is built: per
// signal the window to load, the shifts, the number kind, scaling and limits,
// in the order the decoding loop reads them.
#pragma once

#include <cstdint>
#include <span>

#include "canxlate/database/message.h"

namespace canxlate::db {

// Prepares message.plan from its signals (layout, type, limits, multiplexing)
// and each signal's ranges for lookup.
void buildDecodePlan(Message& message);

// Whether a switch's raw value is one of a signal's carried values.
bool inRanges(const CarriedValues& carried, uint64_t raw) noexcept;

}  // namespace canxlate::db
