/* Loads a database, lists its messages with their channel names, and decodes
 * one payload for each message.
 *
 *   cc decode_frame.c -o decode_frame $(pkg-config --cflags --libs canxlatelib)
 *   ./decode_frame examples/powertrain.dbc
 */
#include <stdio.h>
#include <stdlib.h>

#include "canxlatelib.h"

static int failed(const char* what, int32_t status) {
    if (status >= 0) return 0; /* 0 success, positive a warning: done */
    fprintf(stderr, "%s: status %d\n", what, (int)status);
    return 1;
}

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "examples/powertrain.dbc";
    const uint8_t payload[8] = {0x8A, 0x13, 0x1F, 0x80, 0xFB, 0x90, 0x00, 0x00};
    MessageTableHandle table;
    uint32_t messageCount = 0, largest = 0;
    uint32_t* ids = NULL;
    double* values = NULL;
    int result = 1;

    if (failed("createMessageTable", createMessageTable(&table))) return 1;
    if (failed(path, addChannelDefinitionFromFile(path, table))) goto done;
    /* Size the value array for the message with the most channels. */
    if (failed("getLargestNumberOfChannels", getLargestNumberOfChannels(table, &largest))) goto done;
    if (failed("getNumberOfMessageIDs", getNumberOfMessageIDs(table, &messageCount))) goto done;
    ids = malloc((messageCount ? messageCount : 1) * sizeof *ids);
    values = malloc((largest ? largest : 1) * sizeof *values);
    if (ids == NULL || values == NULL) goto done;
    if (failed("getMessageIDs", getMessageIDs(table, ids))) goto done;

    for (uint32_t m = 0; m < messageCount; ++m) {
        uint32_t count = 0;
        char** names = NULL;
        if (failed("xcvtGetChannelNames", xcvtGetChannelNames(table, ids[m], &count, &names))) goto done;
        if (failed("convertFrameToChannel", convertFrameToChannel(table, ids[m], payload, values))) {
            xcvtDeleteArray(names, count);
            goto done;
        }
        printf("message 0x%X\n", (unsigned)ids[m]);
        for (uint32_t c = 0; c < count; ++c) printf("  %s = %.17g\n", names[c], values[c]);
        xcvtDeleteArray(names, count); /* the names belong to the caller */
    }
    result = 0;
done:
    free(ids);
    free(values);
    closeMessageTable(table);
    return result;
}
