/* Compiled as C99: the public header must serve C hosts, and a C host must be
 * able to drive a table from end to end through it. */
#include "canxlatelib.h"

#include <stdio.h>

int main(void) {
    MessageTableHandle table = 0;
    uint8_t payload[8] = {0x34, 0x12, 0, 0, 0, 0, 0, 0};
    double value = 0.0;
    if (createMessageTable(&table) != kSuccess) return 1;
    if (addNewchannelDefinition(table, "Speed", "km/h", 0, 16, kDataTypeUnsigned, kByteOrderIntel, 0.5, 0.0, 0.0, 0.0,
                                0x100u, 8u) != kSuccess)
        return 2;
    if (convertFrameToChannel(table, 0x100u, payload, &value) != kSuccess) return 3;
    if (value != 0x1234 * 0.5) return 4;
    if (closeMessageTable(table) != kSuccess) return 5;
    puts("C host: ok");
    return 0;
}
