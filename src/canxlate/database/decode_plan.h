// A message's decoding plan, compiled once when the database is built: per
// signal the window to load, the shifts, the number kind, scaling and limits,
// in the order the decoding loop reads them.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "canxlate/database/message.h"
#include "canxlate/database/plan_arena.h"

namespace canxlate::db {

// What building plans reuses from one message to the next.
struct PlanScratch {
    std::vector<uint32_t> codecOf;
    std::vector<FieldCodec> codecs;
};

// Places message's plan in arena, made from its signals (layout, type,
// limits, multiplexing), and prepares each signal's ranges for lookup. One
// block holds the codecs, their limits, their texts when some field has a
// value table, and the texts' slots.
PlanView buildDecodePlan(Message& message, PlanArena& arena, PlanScratch& scratch);

// Whether a switch's raw value is one of a signal's carried values.
bool inRanges(const CarriedValues& carried, uint64_t raw) noexcept;

}  // namespace canxlate::db
