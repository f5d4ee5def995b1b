// What decoding needs of a signal, packed so that a message's signals lie
// in a few cache lines; the rest of the signal stays in db::Signal.
#pragma once

#include <cstdint>

#include "codec/bit_field.h"

namespace canxlate::db {

struct Signal;

struct SignalCodec {
    BitField field;
    double factor;
    double offset;
    double minimum;
    double maximum;
    uint32_t switchIndex;
    uint8_t type;  // ValueType
    uint8_t decodable;
    uint8_t hasLimits;  // not both limits 0
    uint8_t hasValues;
    const Signal* signal;  // ranges and value table
};

}  // namespace canxlate::db
