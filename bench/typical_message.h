// The benchmarks' typical message: eight channels, Intel and Motorola,
// signed, unsigned and a float, added to a canxlatelib table. The full-database
// benchmark writes the same message as DBC text, so both libraries decode the
// same fields.
#pragma once

#include <cstdint>
#include <string>

#include "canxlatelib.h"

inline void addTypicalMessage(MessageTableHandle table, uint32_t id) {
    struct Channel {
        uint32_t start, bits, type, order;
        double factor, offset, minimum, maximum;
    };
    static const Channel channels[] = {
        {0, 16, kDataTypeUnsigned, kByteOrderIntel, 0.25, 0, 0, 16383.75},
        {16, 8, kDataTypeSigned, kByteOrderIntel, 1, -40, -40, 215},
        {24, 4, kDataTypeUnsigned, kByteOrderIntel, 1, 0, 0, 0},
        {28, 4, kDataTypeUnsigned, kByteOrderIntel, 1, 0, 0, 0},
        {40, 12, kDataTypeSigned, kByteOrderMotorola, 0.1, 0, -200, 200},
        {48, 8, kDataTypeUnsigned, kByteOrderMotorola, 0.5, 0, 0, 100},
        {56, 1, kDataTypeUnsigned, kByteOrderIntel, 1, 0, 0, 0},
        {32, 32, kDataTypeFloat, kByteOrderIntel, 1, 0, 0, 0},
    };
    int index = 0;
    for (const auto& c : channels) {
        const std::string name = "channel" + std::to_string(index++);
        addNewchannelDefinition(table, name.c_str(), "", c.start, c.bits, c.type, c.order, c.factor, c.offset,
                                c.minimum, c.maximum, id, 8);
    }
}

// The same channels as DBC signal lines (Motorola start
// bits as DBC writes them: the most significant bit).
inline std::string typicalSignals() {
    return " SG_ channel0 : 0|16@1+ (0.25,0) [0|16383.75] \"rpm\" N\n"
           " SG_ channel1 : 16|8@1- (1,-40) [-40|215] \"\" N\n"
           " SG_ channel2 : 24|4@1+ (1,0) [0|0] \"\" N\n"
           " SG_ channel3 : 28|4@1+ (1,0) [0|0] \"\" N\n"
           " SG_ channel4 : 35|12@0- (0.1,0) [-200|200] \"\" N\n"
           " SG_ channel5 : 55|8@0+ (0.5,0) [0|100] \"\" N\n"
           " SG_ channel6 : 56|1@1+ (1,0) [0|0] \"\" N\n"
           " SG_ channel7 : 32|32@1+ (1,0) [0|0] \"\" N\n";
}
