// A message: identity, layout, and its signals in file order.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "canxlate/database/attribute.h"
#include "canxlate/database/signal.h"
#include "canxlate/database/signal_codec.h"
#include "shared/lookup/name_index.h"

namespace canxlate::db {

// Signals that belong together (SIG_GROUP_), by name.
struct SignalGroup {
    std::string name;
    uint32_t repetitions = 1;
    std::vector<std::string> signals;
};

// What few messages are given or need.
struct MessageDetails {
    std::string comment;
    std::string sendType;  // GenMsgSendType's text, or empty
    AttributeList attributes;
    std::vector<SignalGroup> signalGroups;
    // Of a message of many signals: its signals by name.
    NameIndex signalsByName;
    // Of a multiplexed message: signal indexes in an order where every
    // switch precedes what it switches. Empty: file order.
    std::vector<uint32_t> decodeOrder;
};

// Where a message's decoding plan is: its database's, once that has built its
// indexes. A copy has none until its own database builds them.
class PlanLink {
public:
    PlanLink() = default;
    PlanLink(const PlanLink&) noexcept {}
    PlanLink& operator=(const PlanLink&) noexcept {
        view_ = &kNone;
        return *this;
    }
    const PlanView& operator*() const noexcept { return *view_; }
    void set(const PlanView* view) noexcept { view_ = view; }

private:
    inline static constexpr PlanView kNone{};
    const PlanView* view_ = &kNone;
};

// Fields in an order that leaves no padding: a file may hold millions.
struct Message {
    PlanLink plan;  // set when the indexes are built
    uint32_t id = 0;
    bool extended = false;
    bool fd = false;
    bool j1939 = false;  // a J1939 parameter group (VFrameFormat)
    bool multiplexed = false;
    ShortText name;
    uint32_t length = 0;
    uint32_t index = 0;  // within the database
    NameList senders;
    int64_t cycleTime = -1;  // milliseconds; -1 when the file gives none
    OutOfLine<MessageDetails> details;
    std::vector<Signal> signals;

    // Messages of no more signals are searched by name: no index of their own.
    static constexpr size_t kSearchedSignals = 8;

    // Empties the lookup by name, with room for every signal; then
    // indexSignal each, in order.
    void clearSignalIndex() {
        if (signals.size() > kSearchedSignals) {
            NameIndex& index = details.edit().signalsByName;
            index = NameIndex();
            index.reserve(signals.size());
        } else if (!details->signalsByName.empty()) {
            details.edit().signalsByName = NameIndex();
        }
    }
    // Makes signal s findable by name; false when an earlier signal has its name.
    bool indexSignal(uint32_t s) {
        if (signals.size() <= kSearchedSignals) {
            for (uint32_t i = 0; i < s; ++i)
                if (signals[i].name == signals[s].name) return false;
            return true;
        }
        return details.edit().signalsByName.add(signals[s].name, s,
                                                [this](uint32_t i) -> std::string_view { return signals[i].name; });
    }
    // NameIndex::kAbsent when no signal has the name.
    uint32_t findSignal(std::string_view name) const noexcept {
        if (signals.size() <= kSearchedSignals) {
            for (uint32_t i = 0; i < signals.size(); ++i)
                if (signals[i].name == name) return i;
            return NameIndex::kAbsent;
        }
        return details->signalsByName.find(name, [this](uint32_t i) -> std::string_view { return signals[i].name; });
    }
    // The signal at place k of the decoding order, k below the signal count.
    uint32_t decodeAt(size_t k) const noexcept {
        const std::vector<uint32_t>& order = details->decodeOrder;
        return order.empty() ? static_cast<uint32_t>(k) : order[k];
    }

    const std::string& comment() const noexcept { return details->comment; }
};
static_assert(sizeof(Message) <= 96);

// Why a signal past kMostSignals is left out.
inline std::string mostSignalsText(std::string_view signal, std::string_view message) {
    return "signal '" + std::string(signal) + "' skipped: message '" + std::string(message) + "' holds " +
           std::to_string(kMostSignals) + " signals, the most a message may have";
}

}  // namespace canxlate::db
