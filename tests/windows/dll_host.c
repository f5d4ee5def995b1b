/*
 * A Windows host written in C, as the library's hosts are. It binds all 16
 * exported functions either at run time, by LoadLibrary and GetProcAddress
 * with their plain undecorated names, or at link time through the import
 * library (CANXLATE_HOST_LINKS_IMPORT_LIBRARY), and drives tables through
 * every one of them. Exit status 0 when every check held.
 */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "canxlatelib.h"

typedef int32_t(CANXLATE_CALL* CreateMessageTableFn)(MessageTableHandle*);
typedef int32_t(CANXLATE_CALL* CloseMessageTableFn)(MessageTableHandle);
typedef int32_t(CANXLATE_CALL* GetNumberOfMessageIDsFn)(MessageTableHandle, uint32_t*);
typedef int32_t(CANXLATE_CALL* GetMessageIDsFn)(MessageTableHandle, uint32_t*);
typedef int32_t(CANXLATE_CALL* GetMessageSizeFn)(MessageTableHandle, uint32_t, uint8_t*);
typedef int32_t(CANXLATE_CALL* GetNumberOfChannelsFn)(MessageTableHandle, uint32_t, uint32_t*);
typedef int32_t(CANXLATE_CALL* GetLargestNumberOfChannelsFn)(MessageTableHandle, uint32_t*);
typedef int32_t(CANXLATE_CALL* XcvtGetChannelNamesFn)(MessageTableHandle, uint32_t, uint32_t*, char***);
typedef int32_t(CANXLATE_CALL* XcvtDeleteArrayFn)(char**, uint32_t);
typedef int32_t(CANXLATE_CALL* AddNewchannelDefinitionFn)(MessageTableHandle, const char*, const char*, uint32_t,
                                                          uint32_t, uint32_t, uint32_t, double, double, double,
                                                          double, uint32_t, uint32_t);
typedef int32_t(CANXLATE_CALL* ConvertFrameToChannelFn)(MessageTableHandle, uint32_t, const uint8_t*, double*);
typedef int32_t(CANXLATE_CALL* ConvertFrameToChannelU32Fn)(MessageTableHandle, uint32_t, const uint32_t*, double*);
typedef int32_t(CANXLATE_CALL* ConvertChannelToFrameFn)(MessageTableHandle, uint32_t, double*, uint8_t*);
typedef int32_t(CANXLATE_CALL* ConvertChannelToFrameU32Fn)(MessageTableHandle, uint32_t, double*, uint32_t*);
typedef int32_t(CANXLATE_CALL* InputStringBufferAddFn)(const char*);
typedef int32_t(CANXLATE_CALL* AddChannelDefinitionFromFileFn)(const char*, MessageTableHandle);

struct Library {
    CreateMessageTableFn createMessageTable;
    CloseMessageTableFn closeMessageTable;
    GetNumberOfMessageIDsFn getNumberOfMessageIDs;
    GetMessageIDsFn getMessageIDs;
    GetMessageSizeFn getMessageSize;
    GetNumberOfChannelsFn getNumberOfChannels;
    GetLargestNumberOfChannelsFn getLargestNumberOfChannels;
    XcvtGetChannelNamesFn xcvtGetChannelNames;
    XcvtDeleteArrayFn xcvtDeleteArray;
    AddNewchannelDefinitionFn addNewchannelDefinition;
    ConvertFrameToChannelFn convertFrameToChannel;
    ConvertFrameToChannelU32Fn convertFrameToChannelU32;
    ConvertChannelToFrameFn convertChannelToFrame;
    ConvertChannelToFrameU32Fn convertChannelToFrameU32;
    InputStringBufferAddFn inputStringBufferAdd;
    AddChannelDefinitionFromFileFn addChannelDefinitionFromFile;
};

static int g_checks = 0;
static int g_failures = 0;

static void check(int holds, const char* what, int line) {
    ++g_checks;
    if (!holds) {
        ++g_failures;
        printf("dll_host.c:%d: check failed: %s\n", line, what);
    }
}
#define CHECK(condition) check((condition) != 0, #condition, __LINE__)

#if defined(CANXLATE_HOST_LINKS_IMPORT_LIBRARY)

static int bindLibrary(struct Library* library) {
    library->createMessageTable = createMessageTable;
    library->closeMessageTable = closeMessageTable;
    library->getNumberOfMessageIDs = getNumberOfMessageIDs;
    library->getMessageIDs = getMessageIDs;
    library->getMessageSize = getMessageSize;
    library->getNumberOfChannels = getNumberOfChannels;
    library->getLargestNumberOfChannels = getLargestNumberOfChannels;
    library->xcvtGetChannelNames = xcvtGetChannelNames;
    library->xcvtDeleteArray = xcvtDeleteArray;
    library->addNewchannelDefinition = addNewchannelDefinition;
    library->convertFrameToChannel = convertFrameToChannel;
    library->convertFrameToChannelU32 = convertFrameToChannelU32;
    library->convertChannelToFrame = convertChannelToFrame;
    library->convertChannelToFrameU32 = convertChannelToFrameU32;
    library->inputStringBufferAdd = inputStringBufferAdd;
    library->addChannelDefinitionFromFile = addChannelDefinitionFromFile;
    return 1;
}

#else

static HMODULE g_module = NULL;

/* GetProcAddress by the plain name; through the generic function pointer
 * type, which converts to every other. */
static void (*lookUp(const char* name))(void) {
    void (*function)(void) = (void (*)(void))GetProcAddress(g_module, name);
    if (function == NULL) printf("canxlatelib.dll does not export %s\n", name);
    check(function != NULL, name, __LINE__);
    return function;
}
#define BIND(name, Type) ((library->name = (Type)lookUp(#name)) != NULL)

static int bindLibrary(struct Library* library) {
    int bound = 1;
    g_module = LoadLibraryA("canxlatelib.dll");
    check(g_module != NULL, "LoadLibraryA(\"canxlatelib.dll\")", __LINE__);
    if (g_module == NULL) return 0;
    bound &= BIND(createMessageTable, CreateMessageTableFn);
    bound &= BIND(closeMessageTable, CloseMessageTableFn);
    bound &= BIND(getNumberOfMessageIDs, GetNumberOfMessageIDsFn);
    bound &= BIND(getMessageIDs, GetMessageIDsFn);
    bound &= BIND(getMessageSize, GetMessageSizeFn);
    bound &= BIND(getNumberOfChannels, GetNumberOfChannelsFn);
    bound &= BIND(getLargestNumberOfChannels, GetLargestNumberOfChannelsFn);
    bound &= BIND(xcvtGetChannelNames, XcvtGetChannelNamesFn);
    bound &= BIND(xcvtDeleteArray, XcvtDeleteArrayFn);
    bound &= BIND(addNewchannelDefinition, AddNewchannelDefinitionFn);
    bound &= BIND(convertFrameToChannel, ConvertFrameToChannelFn);
    bound &= BIND(convertFrameToChannelU32, ConvertFrameToChannelU32Fn);
    bound &= BIND(convertChannelToFrame, ConvertChannelToFrameFn);
    bound &= BIND(convertChannelToFrameU32, ConvertChannelToFrameU32Fn);
    bound &= BIND(inputStringBufferAdd, InputStringBufferAddFn);
    bound &= BIND(addChannelDefinitionFromFile, AddChannelDefinitionFromFileFn);
    return bound;
}

#endif

static void releaseLibrary(void) {
#if !defined(CANXLATE_HOST_LINKS_IMPORT_LIBRARY)
    /* The names come undecorated only: no _name or name@N aliases. */
    check(GetProcAddress(g_module, "_createMessageTable") == NULL, "no _createMessageTable", __LINE__);
    check(GetProcAddress(g_module, "createMessageTable@4") == NULL, "no createMessageTable@4", __LINE__);
    check(FreeLibrary(g_module) != 0, "FreeLibrary", __LINE__);
#endif
}

/* Speed: 16-bit unsigned Intel at bit 0, factor 0.5. Temperature: 8-bit
 * signed Intel at bit 16, offset -40. Gear: 12-bit unsigned Motorola whose
 * least significant bit is bit 36: the high nibble of byte 4 holds its low
 * four bits, byte 3 its high eight. */
static void tableThroughEveryQueryAndConversion(const struct Library* lib) {
    MessageTableHandle table = 0;
    uint32_t count = 0, id = 0, words[2] = {0, 0};
    uint8_t size = 0, encoded[8];
    char** names = NULL;
    double values[3] = {0, 0, 0};
    const uint8_t payload[8] = {0x14, 0x00, 0xFF, 0xAB, 0xC0, 0x00, 0x00, 0x00};

    CHECK(lib->createMessageTable(NULL) == kErrNullArgument);
    CHECK(lib->createMessageTable(&table) == kSuccess && table != 0);
    CHECK(lib->addNewchannelDefinition(table, "Speed", "km/h", 0, 16, kDataTypeUnsigned, kByteOrderIntel, 0.5, 0,
                                       0, 0, 0x100, 8) == kSuccess);
    CHECK(lib->addNewchannelDefinition(table, "Temperature", "degC", 16, 8, kDataTypeSigned, kByteOrderIntel, 1,
                                       -40, 0, 0, 0x100, 8) == kSuccess);
    CHECK(lib->addNewchannelDefinition(table, "Gear", "", 36, 12, kDataTypeUnsigned, kByteOrderMotorola, 1, 0, 0,
                                       0, 0x100, 8) == kSuccess);
    CHECK(lib->addNewchannelDefinition(table, "Speed", "", 40, 8, kDataTypeUnsigned, kByteOrderIntel, 1, 0, 0, 0,
                                       0x100, 8) == kErrDuplicateChannelName);
    CHECK(lib->getLargestNumberOfChannels(table, &count) == kSuccess && count == 3);

    CHECK(lib->getNumberOfMessageIDs(table, &count) == kSuccess && count == 1);
    CHECK(lib->getMessageIDs(table, &id) == kSuccess && id == 0x100);
    CHECK(lib->getMessageSize(table, 0x100, &size) == kSuccess && size == 8);
    CHECK(lib->getNumberOfChannels(table, 0x100, &count) == kSuccess && count == 3);
    CHECK(lib->getNumberOfChannels(table, 0x200, &count) == kErrUnknownMessage);
    CHECK(lib->addNewchannelDefinition(table, "Late", "", 48, 8, kDataTypeUnsigned, kByteOrderIntel, 1, 0, 0, 0,
                                       0x100, 8) == kErrTableInUse);

    CHECK(lib->xcvtGetChannelNames(table, 0x100, &count, &names) == kSuccess && count == 3);
    if (names != NULL && count == 3) {
        CHECK(strcmp(names[0], "Speed") == 0 && strcmp(names[1], "Temperature") == 0 &&
              strcmp(names[2], "Gear") == 0);
        CHECK(lib->xcvtDeleteArray(names, count) == kSuccess);
    }

    CHECK(lib->convertFrameToChannel(table, 0x100, payload, values) == kSuccess);
    CHECK(values[0] == 10.0 && values[1] == -41.0 && values[2] == 0xABC);
    words[0] = 0x1400FFABu;
    words[1] = 0xC0000000u;
    values[0] = values[1] = values[2] = 0;
    CHECK(lib->convertFrameToChannelU32(table, 0x100, words, values) == kSuccess);
    CHECK(values[0] == 10.0 && values[1] == -41.0 && values[2] == 0xABC);

    memset(encoded, 0xCC, sizeof encoded);
    CHECK(lib->convertChannelToFrame(table, 0x100, values, encoded) == kSuccess);
    CHECK(memcmp(encoded, payload, sizeof payload) == 0);
    words[0] = words[1] = 0;
    CHECK(lib->convertChannelToFrameU32(table, 0x100, values, words) == kSuccess);
    CHECK(words[0] == 0x1400FFABu && words[1] == 0xC0000000u);
    CHECK(lib->convertFrameToChannel(table, 0x200, payload, values) == kWarnMessageNotFound);

    CHECK(lib->closeMessageTable(table) == kSuccess);
    CHECK(lib->closeMessageTable(table) == kErrInvalidTable);
    CHECK(lib->closeMessageTable(0) == kErrNullArgument);
}

/* A DBC file written as a Windows program writes text (CR LF line ends),
 * imported with a selection of one channel. */
static void selectedImportOfATextModeFile(const struct Library* lib) {
    char directory[MAX_PATH], path[MAX_PATH + 32];
    MessageTableHandle table = 0;
    uint32_t count = 0;
    char** names = NULL;
    double value = 0;
    const uint8_t payload[8] = {7, 3, 0, 0, 0, 0, 0, 0};
    FILE* file;
    DWORD length = GetTempPathA(MAX_PATH, directory);

    CHECK(length > 0 && length < MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    sprintf(path, "%scanxlate_dll_host_%lu.dbc", directory, (unsigned long)GetCurrentProcessId());
    file = fopen(path, "w");
    CHECK(file != NULL);
    if (file == NULL) return;
    fputs("VERSION \"\"\n\nBO_ 512 Body: 8 Node\n"
          " SG_ Door : 0|8@1+ (1,0) [0|0] \"\" Node\n"
          " SG_ Light : 8|8@1+ (2,0) [0|0] \"lx\" Node\n",
          file);
    fclose(file);

    CHECK(lib->createMessageTable(&table) == kSuccess);
    CHECK(lib->addChannelDefinitionFromFile("no_extension", table) == kErrFileFormat);
    CHECK(lib->inputStringBufferAdd(NULL) == kErrNullArgument);
    CHECK(lib->inputStringBufferAdd("Light") == kSuccess);
    CHECK(lib->addChannelDefinitionFromFile(path, table) == kSuccess);
    CHECK(lib->xcvtGetChannelNames(table, 512, &count, &names) == kSuccess && count == 1);
    if (names != NULL && count == 1) {
        CHECK(strcmp(names[0], "Light") == 0);
        CHECK(lib->xcvtDeleteArray(names, count) == kSuccess);
    }
    CHECK(lib->convertFrameToChannel(table, 512, payload, &value) == kSuccess && value == 6.0);
    CHECK(lib->closeMessageTable(table) == kSuccess);
    DeleteFileA(path);
}

int main(void) {
    struct Library library;
#if defined(CANXLATE_HOST_LINKS_IMPORT_LIBRARY)
    const char* binding = "import library";
#else
    const char* binding = "LoadLibrary";
#endif
    memset(&library, 0, sizeof library);
    if (bindLibrary(&library)) {
        tableThroughEveryQueryAndConversion(&library);
        selectedImportOfATextModeFile(&library);
        releaseLibrary();
    }
    printf("dll host (%s): %d checks, %d failed\n", binding, g_checks, g_failures);
    return g_failures == 0 ? 0 : 1;
}
