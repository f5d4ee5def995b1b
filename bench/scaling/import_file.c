/* Imports one definition file into a fresh table and exits: the scaling
 * benchmark measures the 16-function library's import in a process that holds
 * nothing else. Exit status 0 when the import succeeded. */
#include <stdio.h>

#include "canxlatelib.h"

int main(int argc, char** argv) {
    MessageTableHandle table = 0;
    if (argc != 2) {
        fputs("usage: import_file FILE\n", stderr);
        return 2;
    }
    if (createMessageTable(&table) != kSuccess) return 1;
    return addChannelDefinitionFromFile(argv[1], table) >= 0 ? 0 : 1;
}
