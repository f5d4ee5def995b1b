// A message's multiplexing: which switch each multiplexed signal listens to
// and for which values, from the m<k> indicators and SG_MUL_VAL_ ranges.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "canxlate/database/message.h"
#include "canxlate/dbc/definitions.h"
#include "canxlate/dbc/diagnostic_sink.h"

namespace canxlate::dbc {

struct MuxIndicatorDef {
    MuxIndicator indicator;
    uint64_t value;
};

// Sets role, switchIndex, muxRanges, the decoding order and multiplexed. indicators
// and positions run parallel to message.signals; rangeDefs are the
// SG_MUL_VAL_ lines naming signals of this message.
void resolveMultiplexing(db::Message& message, std::span<const MuxIndicatorDef> indicators,
                         const std::vector<MuxValuesDef*>& rangeDefs, std::span<const Position> positions,
                         DiagnosticSink& sink);

// Whether any two signals share a bit, whatever their multiplexing.
bool sharesBits(const db::Message& message);

// Reports signals that share bits while a frame may carry both.
void checkOverlaps(const db::Message& message, std::span<const Position> positions, DiagnosticSink& sink);

}  // namespace canxlate::dbc
