// Signals that a frame may carry together must not share bits. Two signals
// exclude each other when some switch that both depend on needs values from
// disjoint ranges for them.
#include <cstring>
#include <string>

#include "canxlate/dbc/multiplexing.h"

namespace canxlate::dbc {
namespace {

using db::Signal;

struct Condition {
    uint32_t switchIndex;
    const std::vector<db::MuxRange>* ranges;
};

bool disjoint(const std::vector<db::MuxRange>& a, const std::vector<db::MuxRange>& b) {
    for (const db::MuxRange& x : a)
        for (const db::MuxRange& y : b)
            if (x.low <= y.high && y.low <= x.high) return false;
    return true;
}

std::vector<Condition> conditionsOf(const db::Message& message, uint32_t index) {
    std::vector<Condition> conditions;
    for (uint32_t guard = 0; guard < message.signals.size(); ++guard) {
        const Signal& signal = message.signals[index];
        if (signal.switchIndex == db::kNoSwitch) break;
        conditions.push_back({signal.switchIndex, &signal.muxRanges});
        index = signal.switchIndex;
    }
    return conditions;
}

bool exclusive(const std::vector<Condition>& a, const std::vector<Condition>& b) {
    for (const Condition& x : a)
        for (const Condition& y : b)
            if (x.switchIndex == y.switchIndex && disjoint(*x.ranges, *y.ranges)) return true;
    return false;
}

struct Bits {
    uint64_t words[db::kMaxPayloadBytes / 8];
};

}  // namespace

void checkOverlaps(const db::Message& message, const std::vector<Position>& positions, DiagnosticSink& sink) {
    const size_t count = message.signals.size();
    std::vector<Bits> bits(count);
    std::vector<std::vector<Condition>> conditions(count);
    for (size_t i = 0; i < count; ++i) {
        const Signal& signal = message.signals[i];
        uint8_t bytes[db::kMaxPayloadBytes] = {};
        if (signal.decodable) db::writeField(signal.field, ~uint64_t{0}, bytes);
        std::memcpy(bits[i].words, bytes, sizeof bytes);
        if (message.multiplexed) conditions[i] = conditionsOf(message, static_cast<uint32_t>(i));
    }
    for (size_t j = 1; j < count; ++j) {
        if (!message.signals[j].decodable) continue;
        for (size_t i = 0; i < j; ++i) {
            bool shared = false;
            for (size_t w = 0; w < db::kMaxPayloadBytes / 8 && !shared; ++w)
                shared = (bits[i].words[w] & bits[j].words[w]) != 0;
            if (!shared || exclusive(conditions[i], conditions[j])) continue;
            sink.warning(db::Topic::kOverlap, positions[j],
                         "signal '" + message.signals[j].name + "' shares bits with signal '" +
                             message.signals[i].name + "' in message '" + message.name + "'");
            break;
        }
    }
}

}  // namespace canxlate::dbc
