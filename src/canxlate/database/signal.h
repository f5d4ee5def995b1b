// A signal of a message as the file defines it, with its field layout
// prepared for decoding and encoding.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "canxlate/database/attribute.h"
#include "canxlate/database/bit_field.h"
#include "canxlate/database/value_table.h"

namespace canxlate::db {

enum class ValueType : int32_t { kSigned = 0, kUnsigned = 1, kSingle = 2, kDouble = 3 };
enum class MuxRole : int32_t { kPlain = 0, kSwitch = 1, kMultiplexed = 2, kMultiplexedSwitch = 3 };

// Switch values [low, high] for which a multiplexed signal is carried.
struct MuxRange {
    uint64_t low;
    uint64_t high;
};

inline constexpr uint32_t kNoSwitch = UINT32_MAX;

struct Signal {
    std::string name;
    std::string unit;
    std::string comment;
    std::vector<std::string> receivers;
    uint32_t startBit = 0;  // as the file writes it
    uint32_t lsbBit = 0;    // position of the least significant bit
    uint32_t length = 0;
    bool bigEndian = false;
    ValueType type = ValueType::kUnsigned;
    double factor = 1.0;
    double offset = 0.0;
    double minimum = 0.0;
    double maximum = 0.0;
    MuxRole role = MuxRole::kPlain;
    uint32_t switchIndex = kNoSwitch;  // index of the switch within the message
    const Signal* switchSignal = nullptr;
    size_t index = 0;  // within the message
    std::vector<MuxRange> muxRanges;
    ValueTable values;
    AttributeList attributes;
    bool floatSigned = false;    // a float signal the file gives with '-'
    bool hasStartValue = false;  // GenSigStartValue, a raw value
    double startValue = 0.0;
    // False when the field cannot be read as written (see the diagnostics);
    // such a signal is never carried.
    bool decodable = false;
    BitField field{};
};

}  // namespace canxlate::db
