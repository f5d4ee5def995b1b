// A message's multiplexing: which switch each multiplexed signal listens to
// and for which values, from the m<k> indicators and SG_MUL_VAL_ ranges.
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "canxlate/database/message.h"
#include "canxlate/dbc/definitions.h"
#include "canxlate/dbc/diagnostic_sink.h"

namespace canxlate::dbc {

// Where a message's signals stand in the file: positions[i] of signal i, a
// run of the positions of every signal read, which a deque keeps.
class SignalPositions {
public:
    SignalPositions(const std::deque<Position>& all, size_t first, size_t count) noexcept
        : all_(all), first_(first), count_(count) {}
    Position operator[](size_t i) const noexcept { return all_[first_ + i]; }
    size_t size() const noexcept { return count_; }

private:
    const std::deque<Position>& all_;
    size_t first_;
    size_t count_;
};

// An SG_MUL_VAL_ line of a message, its names looked up.
struct MuxValuesLine {
    uint32_t signal;
    uint32_t switchIndex;  // NameIndex::kAbsent when no signal has the name
    uint32_t firstRange;   // of its ranges, in the array of all lines' ranges
    uint32_t rangeCount;
    Position switchPosition;
    std::string_view missingSwitch;  // the name, when no signal has it
};

// Sets role, switchIndex, muxRanges (joined for lookup), the decoding order
// and multiplexed. indicators and positions run parallel to message.signals,
// whose muxRanges hold the values of the m<k> indicators as read; lines are
// the SG_MUL_VAL_ lines of this message, their ranges in ranges.
void resolveMultiplexing(db::Message& message, std::span<const MuxIndicator> indicators,
                         std::span<const MuxValuesLine> lines, std::span<const MuxRangeDef> ranges,
                         const SignalPositions& positions, DiagnosticSink& sink);

// Whether any two signals share a bit, whatever their multiplexing.
bool sharesBits(const db::Message& message);

// Reports signals that share bits while a frame may carry both.
void checkOverlaps(const db::Message& message, const SignalPositions& positions, DiagnosticSink& sink);

}  // namespace canxlate::dbc
