/*
 * A Windows host written in C binds canxlatelib.dll as C hosts do: at run
 * time by LoadLibrary and GetProcAddress with the plain names, or at link
 * time through the import library (CANXLATE_HOST_LINKS_IMPORT_LIBRARY), where
 * each function must be the DLL's export of that name. A table is then driven
 * through the bound functions. Exit status 0 when every check held.
 */
#include <windows.h>

#include <stdio.h>

#include "canxlatelib.h"

/* clang-format off */
#define EXPORTS(X)                                                                                          \
    X(createMessageTable) X(closeMessageTable) X(getNumberOfMessageIDs) X(getMessageIDs) X(getMessageSize)  \
    X(getNumberOfChannels) X(getLargestNumberOfChannels) X(xcvtGetChannelNames) X(xcvtDeleteArray)          \
    X(addNewchannelDefinition) X(convertFrameToChannel) X(convertFrameToChannelU32) X(convertChannelToFrame) \
    X(convertChannelToFrameU32) X(inputStringBufferAdd) X(addChannelDefinitionFromFile)
/* clang-format on */

typedef void (*Function)(void);
#define INDEX(name) at_##name,
enum { EXPORTS(INDEX) kExports };
#define NAME(name) #name,
static const char* const g_names[kExports] = {EXPORTS(NAME)};
static Function g_bound[kExports];
#define BOUND(name) ((__typeof__(&name))g_bound[at_##name])
#define CHECK(condition) (void)((condition) || (printf("dll_host.c:%d: %s\n", __LINE__, #condition), ++failures))

int main(void) {
    HMODULE module = LoadLibraryA("canxlatelib.dll");
    MessageTableHandle table = 0;
    const uint8_t payload[8] = {0xAB, 0xFF, 0, 0, 0, 0, 0, 0};
    double value = 0;
    int failures = 0, i;

    if (module == NULL) {
        puts("cannot load canxlatelib.dll");
        return 1;
    }
    for (i = 0; i < kExports; ++i) {
        g_bound[i] = (Function)GetProcAddress(module, g_names[i]);
        if (g_bound[i] == NULL) {
            printf("canxlatelib.dll does not export %s\n", g_names[i]);
            return 1;
        }
    }
#if defined(CANXLATE_HOST_LINKS_IMPORT_LIBRARY)
    /* Each name linked through the import library is the export of that name. */
#  define LINKED(name) CHECK((Function)name == g_bound[at_##name]);
    EXPORTS(LINKED)
#endif
    CHECK(BOUND(createMessageTable)(&table) == kSuccess);
    CHECK(BOUND(addNewchannelDefinition)(table, "Speed", "km/h", 0, 16, kDataTypeUnsigned, kByteOrderIntel, 0.5, -1.0,
                                         0.0, 0.0, 0x100, 8) == kSuccess);
    CHECK(BOUND(convertFrameToChannel)(table, 0x100, payload, &value) == kSuccess && value == 0xFFAB * 0.5 - 1);
    CHECK(BOUND(closeMessageTable)(table) == kSuccess);
    CHECK(FreeLibrary(module) != 0);
    printf("dll host: %d checks failed\n", failures);
    return failures == 0 ? 0 : 1;
}
