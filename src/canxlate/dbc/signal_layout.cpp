#include "canxlate/dbc/signal_layout.h"

#include <string>

#include "shared/numbers/dbc_number_rules.h"

namespace canxlate::dbc {

void layOutSignal(db::Signal& signal, int64_t startBit, int64_t length, const db::Message& message, Position at,
                  DiagnosticSink& sink, bool startIsLsb) {
    // Only a diagnostic needs the words.
    auto name = [&signal] { return "signal '" + signal.name + "'"; };
    signal.decodable = false;
    if (length < 1 || length > 64) {
        sink.error(db::Topic::kLayout, at,
                   name() + " has length " + std::to_string(length) + "; a signal holds 1 to 64 bits");
        return;
    }
    if (startBit < 0 || startBit >= 8 * db::kMaxPayloadBytes) {
        sink.error(db::Topic::kLayout, at,
                   name() + " starts at bit " + std::to_string(startBit) + ", outside the 64-byte payload");
        return;
    }
    const uint32_t lsb =
        signal.bigEndian && !startIsLsb
            ? motorolaLeastSignificantStartBit(static_cast<int32_t>(startBit), static_cast<int32_t>(length))
            : static_cast<uint32_t>(startBit);
    if (!db::makeBitField(lsb, static_cast<uint32_t>(length), signal.bigEndian, &signal.field)) {
        sink.error(db::Topic::kLayout, at, name() + " leaves the 64-byte payload");
        return;
    }
    signal.decodable = true;
    if (signal.field.endByte > message.length) {
        sink.warning(db::Topic::kLayout, at,
                     name() + " reaches byte " + std::to_string(signal.field.endByte - 1) + ", past the " +
                         std::to_string(message.length) + " bytes of message '" + message.name +
                         "'; only longer frames carry it");
    }
}

}  // namespace canxlate::dbc
