#include "canxlate/dbc/multiplexing.h"

#include <string>

namespace canxlate::dbc {
namespace {

using db::MuxRole;
using db::Signal;

std::string quote(std::string_view name) { return "'" + std::string(name) + "'"; }

// Every switch goes into the order before the signals it switches. Walks up
// each chain of switches with a list, not a call per link, so that a chain as
// long as the file costs no stack.
class OrderBuilder {
public:
    OrderBuilder(db::Message& message, const SignalPositions& positions, DiagnosticSink& sink)
        : message_(message), positions_(positions), sink_(sink), state_(message.signals.size(), kNew) {}

    void run() {
        std::vector<uint32_t>& order = message_.details.edit().decodeOrder;
        order.clear();
        order.reserve(message_.signals.size());
        std::vector<uint32_t> chain;
        for (uint32_t i = 0; i < message_.signals.size(); ++i) {
            chain.clear();
            for (uint32_t index = i; state_[index] == kNew;) {
                state_[index] = kVisiting;
                chain.push_back(index);
                Signal& signal = message_.signals[index];
                if (signal.switchIndex == db::kNoSwitch) break;
                if (state_[signal.switchIndex] == kVisiting) {
                    sink_.error(db::Topic::kMultiplexing, positions_[index],
                                "the switches of signal " + quote(signal.name) +
                                    " lead round in a circle; it cannot be decoded");
                    signal.switchIndex = db::kNoSwitch;
                    signal.decodable = false;
                    break;
                }
                index = signal.switchIndex;
            }
            for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
                state_[*it] = kDone;
                order.push_back(*it);
            }
        }
    }

private:
    enum State : uint8_t { kNew, kVisiting, kDone };

    db::Message& message_;
    const SignalPositions& positions_;
    DiagnosticSink& sink_;
    std::vector<State> state_;
};

void markSwitch(Signal& signal) {
    if (signal.role == MuxRole::kPlain) signal.role = MuxRole::kSwitch;
    if (signal.role == MuxRole::kMultiplexed) signal.role = MuxRole::kMultiplexedSwitch;
}

}  // namespace

void resolveMultiplexing(db::Message& message, std::span<const MuxIndicator> indicators,
                         std::span<const MuxValuesLine> lines, std::span<const MuxRangeDef> ranges,
                         const SignalPositions& positions, DiagnosticSink& sink) {
    bool plain = lines.empty();
    for (const MuxIndicator indicator : indicators) plain = plain && indicator == MuxIndicator::kNone;
    if (plain) return;  // every signal in file order
    uint32_t mainSwitch = db::kNoSwitch;
    bool hasSwitch = false;
    for (const MuxIndicator indicator : indicators) hasSwitch = hasSwitch || indicator == MuxIndicator::kSwitch;
    for (uint32_t i = 0; i < message.signals.size(); ++i) {
        Signal& signal = message.signals[i];
        MuxIndicator indicator = indicators[i];
        if (indicator == MuxIndicator::kBare) {
            indicator = hasSwitch ? MuxIndicator::kNone : MuxIndicator::kSwitch;
            hasSwitch = true;
            sink.warning(db::Topic::kMultiplexing, positions[i],
                         "signal " + quote(signal.name) + " has 'm' without a value; read as " +
                             (indicator == MuxIndicator::kSwitch ? "the switch (M)" : "a plain signal") +
                             " of message " + quote(message.name));
        }
        switch (indicator) {
            case MuxIndicator::kNone:
            case MuxIndicator::kBare: break;
            case MuxIndicator::kSwitch:
                signal.role = MuxRole::kSwitch;
                if (mainSwitch == db::kNoSwitch) {
                    mainSwitch = i;
                } else {
                    sink.warning(db::Topic::kMultiplexing, positions[i],
                                 "message " + quote(message.name) + " has a second switch " + quote(signal.name) +
                                     "; m<k> signals without SG_MUL_VAL_ follow " +
                                     quote(message.signals[mainSwitch].name));
                }
                break;
            case MuxIndicator::kMultiplexed:
            case MuxIndicator::kMultiplexedSwitch:
                signal.role =
                    indicator == MuxIndicator::kMultiplexed ? MuxRole::kMultiplexed : MuxRole::kMultiplexedSwitch;
                break;
        }
    }
    // SG_MUL_VAL_ names the switch and replaces the indicator's value.
    std::vector<bool> ranged(message.signals.size(), false);
    for (const MuxValuesLine& line : lines) {
        const uint32_t index = line.signal;
        const uint32_t switchIndex = line.switchIndex;
        Signal& signal = message.signals[index];
        if (switchIndex == NameIndex::kAbsent || switchIndex == index) {
            // A signal that would switch itself has the switch's name.
            const std::string_view switchName = switchIndex == index ? signal.name.view() : line.missingSwitch;
            sink.warning(db::Topic::kMultiplexing, line.switchPosition,
                         "message " + quote(message.name) + " has no other signal " + quote(switchName) +
                             " to switch " + quote(signal.name) + "; ranges skipped");
            continue;
        }
        if (!ranged[index]) signal.muxRanges.clear();
        ranged[index] = true;
        for (const MuxRangeDef& range : ranges.subspan(line.firstRange, line.rangeCount))
            signal.muxRanges.push_back({range.low, range.high});
        if (signal.role == MuxRole::kPlain) signal.role = MuxRole::kMultiplexed;
        if (signal.role == MuxRole::kSwitch) signal.role = MuxRole::kMultiplexedSwitch;
        signal.switchIndex = switchIndex;
        markSwitch(message.signals[switchIndex]);
    }
    for (uint32_t i = 0; i < message.signals.size(); ++i) {
        Signal& signal = message.signals[i];
        const bool multiplexed = signal.role == MuxRole::kMultiplexed || signal.role == MuxRole::kMultiplexedSwitch;
        if (!multiplexed || signal.switchIndex != db::kNoSwitch) continue;
        if (mainSwitch == db::kNoSwitch) {
            sink.error(db::Topic::kMultiplexing, positions[i],
                       "signal " + quote(signal.name) + " is multiplexed but message " + quote(message.name) +
                           " has no switch (M); it cannot be decoded");
            signal.decodable = false;
            continue;
        }
        signal.switchIndex = mainSwitch;
    }
    for (Signal& signal : message.signals) {
        message.multiplexed = message.multiplexed || signal.role != MuxRole::kPlain;
        signal.muxRanges.joinForLookup();
    }
    OrderBuilder(message, positions, sink).run();
}

}  // namespace canxlate::dbc
