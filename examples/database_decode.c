/* Opens a DBC file with libcanxlate, prints what the reader had to say about
 * it, then decodes one multiplexed frame of the message named on the command
 * line:  database_decode examples/diagnostics.dbc DiagResponse */
#include <stdio.h>
#include <stdlib.h>

#include "canxlate.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s FILE.dbc MESSAGE\n", argv[0]);
        return 2;
    }
    cxl_database* database = NULL;
    cxl_status status = cxl_open_file(argv[1], &database);
    if (status != CXL_OK) {
        fprintf(stderr, "%s: %s\n", argv[1], cxl_status_text(status));
        return 1;
    }
    /* A file with bad lines still opens; each problem comes with its place. */
    for (size_t i = 0; i < cxl_diagnostic_count(database); ++i) {
        cxl_diagnostic diagnostic;
        cxl_get_diagnostic(database, i, &diagnostic);
        printf("%s:%u:%u: %s\n", argv[1], (unsigned)diagnostic.line, (unsigned)diagnostic.column, diagnostic.text);
    }

    const cxl_message* message = cxl_find_message_by_name(database, argv[2]);
    if (message == NULL) {
        fprintf(stderr, "no message %s\n", argv[2]);
        cxl_close(database);
        return 1;
    }
    cxl_message_info info;
    cxl_get_message_info(message, &info);

    /* Service 2 (Odometer): the switch selects which signals the frame carries. */
    const uint8_t payload[8] = {0x02, 0x40, 0xE2, 0x01, 0x00, 0x00, 0x00, 0x01};
    cxl_value* values = calloc(info.signal_count, sizeof *values);
    if (values == NULL) {
        cxl_close(database);
        return 1;
    }
    status = cxl_decode(message, payload, sizeof payload, 0, values);
    for (size_t i = 0; status == CXL_OK && i < info.signal_count; ++i) {
        if (!values[i].present) continue;
        cxl_signal_info signal;
        cxl_get_signal_info(cxl_signal_at(message, i), &signal);
        printf("%s = %g %s%s%s\n", signal.name, values[i].physical, signal.unit, values[i].text ? " " : "",
               values[i].text ? values[i].text : "");
    }
    free(values);
    cxl_close(database);
    return status == CXL_OK ? 0 : 1;
}
