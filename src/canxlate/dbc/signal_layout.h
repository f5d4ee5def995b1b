// Where a signal's bits lie, checked against the payload and the message.
#pragma once

#include <cstdint>

#include "canxlate/database/message.h"
#include "canxlate/dbc/definitions.h"
#include "canxlate/dbc/diagnostic_sink.h"

namespace canxlate::dbc {

// Sets field and decodable; reports a field that cannot be read as
// written, or that reaches past the message's length. A DBC start bit of a
// big-endian field is its most significant bit; startIsLsb says it is the
// least significant one.
void layOutSignal(db::Signal& signal, int64_t startBit, int64_t length, const db::Message& message, Position at,
                  DiagnosticSink& sink, bool startIsLsb = false);

}  // namespace canxlate::dbc
