/* The header as a C99 host sees it. */
#include <stdio.h>

#include "canxlate.h"

int main(void) {
    cxl_database* database = NULL;
    cxl_status status = cxl_open_memory("", 0, CXL_FORMAT_DBC, &database);
    cxl_close(database);
    return status == CXL_OK ? 0 : (printf("%s\n", cxl_status_text(status)), 1);
}
