/*
 * canxlatelib: CAN frame <-> engineering-unit channel conversion.
 *
 * A host creates message tables, fills them with channel definitions (one at a
 * time or imported from ".dbc" and ".zcd" files), then decodes received 8-byte
 * payloads into doubles and encodes doubles into payloads.
 *
 * Every function returns a status: 0 success, > 0 warning (the work was done),
 * < 0 error (nothing was done). Pointer arguments are checked first
 * (kErrNullArgument), then the table handle (kErrNullArgument for 0,
 * kErrInvalidTable for a value that is not a live table), then the function's
 * own conditions.
 *
 * The in-use rule: a table accepts definitions until it is first queried or
 * used for conversion ("freezes"). From then on adding fails with
 * kErrTableInUse and the table never changes again, so any number of threads
 * may query and convert on it at once. Do not close a table while another
 * thread still uses it.
 *
 * This header is plain C (C99 and later) and C++.
 */
#ifndef CANXLATELIB_H
#define CANXLATELIB_H

#include <stdint.h>

#if defined(_WIN32)
#  define CANXLATE_CALL __cdecl
#  if defined(CANXLATE_BUILDING_LIBRARY)
#    define CANXLATE_API __declspec(dllexport)
#  else
#    define CANXLATE_API __declspec(dllimport)
#  endif
#else
#  define CANXLATE_CALL
#  define CANXLATE_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Status codes. */
enum {
    kSuccess = 0,
    kWarnBitsOverlap = 5400,     /* channel added; its bit range meets an existing channel's */
    kWarnMessageNotFound = 5401, /* no such message in the table; nothing converted */
    kErrDuplicateChannelName = -8005,
    kErrInvalidTable = -8701, /* handle is not 0 but not a live table */
    kErrNullArgument = -8702, /* handle 0 or a required pointer is NULL */
    kErrInvalidByteOrder = -8703,
    kErrInvalidDataType = -8704,
    kErrFileFormat = -8706, /* bad file name or extension, unreadable or unparsable file */
    kErrInvalidBitLayout = -8707,
    kErrUnknownMessage = -8708,
    kErrInvalidMessageSize = -8709,
    kErrTableInUse = -8710, /* table frozen by a query or conversion */
    /* Memory ran out. Nothing was changed: the table is as it was before the
     * call and no output was written. */
    kErrOutOfMemory = -8711
};

/* Channel data types (argument "dataType"). */
enum {
    kDataTypeSigned = 0,   /* two's-complement integer, 1 to 52 bits */
    kDataTypeUnsigned = 1, /* unsigned integer, 1 to 52 bits */
    kDataTypeFloat = 2     /* IEEE 754 single (32 bits) or double (64 bits) */
};

/* Channel byte orders (argument "byteOrder"). startBit is always the position
 * of the channel's least significant bit; bit n is bit n % 8 of payload byte
 * n / 8. A Motorola field continues upward in that byte, then into lower-numbered
 * bytes. */
enum {
    kByteOrderIntel = 0,   /* little-endian field */
    kByteOrderMotorola = 1 /* big-endian field */
};

/* Opaque, pointer-sized table handle. 0 is never a live handle. */
typedef uintptr_t MessageTableHandle;

/* Creates an empty table and writes its handle to *table.
 * kSuccess; kErrNullArgument (table NULL); kErrOutOfMemory (*table set to 0). */
CANXLATE_API int32_t CANXLATE_CALL createMessageTable(MessageTableHandle* table);

/* Frees a table with all its definitions. The handle is dead afterwards.
 * kSuccess; kErrNullArgument; kErrInvalidTable. */
CANXLATE_API int32_t CANXLATE_CALL closeMessageTable(MessageTableHandle table);

/* Number of messages in the table. Freezes the table.
 * kSuccess; kErrNullArgument; kErrInvalidTable. */
CANXLATE_API int32_t CANXLATE_CALL getNumberOfMessageIDs(MessageTableHandle table, uint32_t* count);

/* Writes every message ID to ids[0..count-1], in the table's fixed iteration
 * order; size ids by getNumberOfMessageIDs first. Freezes the table.
 * kSuccess; kErrNullArgument; kErrInvalidTable. */
CANXLATE_API int32_t CANXLATE_CALL getMessageIDs(MessageTableHandle table, uint32_t* ids);

/* Payload size in bytes (0 to 8) of a message, as given by its first channel.
 * Writes exactly one byte. Freezes the table, also for an unknown ID.
 * kSuccess; kErrNullArgument; kErrInvalidTable; kErrUnknownMessage. */
CANXLATE_API int32_t CANXLATE_CALL getMessageSize(MessageTableHandle table, uint32_t messageId, uint8_t* size);

/* Number of channels of a message. Freezes the table, also for an unknown ID.
 * kSuccess; kErrNullArgument; kErrInvalidTable; kErrUnknownMessage. */
CANXLATE_API int32_t CANXLATE_CALL getNumberOfChannels(MessageTableHandle table, uint32_t messageId, uint32_t* count);

/* Greatest channel count over all messages (0 for an empty table), for sizing
 * value arrays. Does not freeze the table.
 * kSuccess; kErrNullArgument; kErrInvalidTable. */
CANXLATE_API int32_t CANXLATE_CALL getLargestNumberOfChannels(MessageTableHandle table, uint32_t* count);

/* Hands out copies of a message's channel names in definition order: *names
 * receives an array of *count strings. The array and the strings belong to the
 * caller, stay valid after the table is closed, and are released together by
 * xcvtDeleteArray. Freezes the table, but not for an unknown ID.
 * kSuccess; kErrNullArgument; kErrInvalidTable; kErrUnknownMessage;
 * kErrOutOfMemory (nothing handed out, table not frozen). */
CANXLATE_API int32_t CANXLATE_CALL xcvtGetChannelNames(MessageTableHandle table, uint32_t messageId, uint32_t* count,
                                                       char*** names);

/* Releases an array from xcvtGetChannelNames: each of the first count strings,
 * then the array itself. Pass the count that xcvtGetChannelNames reported;
 * the strings are gone afterwards. kSuccess; kErrNullArgument (names NULL). */
CANXLATE_API int32_t CANXLATE_CALL xcvtDeleteArray(char** names, uint32_t count);

/* Adds one channel to a table that is not frozen. The first channel of a
 * message ID creates the message with payloadSize; later channels of that
 * message keep the first size. Limits are enabled unless minimum and maximum
 * are both 0. Checks, in order: name/unit NULL, handle, dataType, byteOrder,
 * bit layout (1..64 bits, startBit <= 63, Intel fields inside 64 bits, floats
 * 32 or 64 bits, integers at most 52 bits), payloadSize <= 8, in use, name
 * already in the message.
 * kSuccess; kWarnBitsOverlap (added); kErrNullArgument; kErrInvalidTable;
 * kErrInvalidDataType; kErrInvalidByteOrder; kErrInvalidBitLayout;
 * kErrInvalidMessageSize; kErrTableInUse; kErrDuplicateChannelName;
 * kErrOutOfMemory. On every error the table is unchanged. */
CANXLATE_API int32_t CANXLATE_CALL addNewchannelDefinition(MessageTableHandle table, const char* channelName,
                                                           const char* unit, uint32_t startBit, uint32_t bitCount,
                                                           uint32_t dataType, uint32_t byteOrder, double factor,
                                                           double offset, double minimum, double maximum,
                                                           uint32_t messageId, uint32_t payloadSize);

/* Decodes an 8-byte payload (byte 0 first) into one value per channel of the
 * message, in definition order: raw * factor + offset, clamped to the limits
 * (minimum tested first; NaN passes). Freezes the table, also for an unknown ID.
 * kSuccess; kWarnMessageNotFound (values untouched); kErrNullArgument;
 * kErrInvalidTable. */
CANXLATE_API int32_t CANXLATE_CALL convertFrameToChannel(MessageTableHandle table, uint32_t messageId,
                                                         const uint8_t* payload, double* values);

/* As convertFrameToChannel, with the payload as two words: words[k] holds
 * payload bytes 4k..4k+3, byte 4k most significant. The words are not changed. */
CANXLATE_API int32_t CANXLATE_CALL convertFrameToChannelU32(MessageTableHandle table, uint32_t messageId,
                                                            const uint32_t* words, double* values);

/* Encodes one value per channel of the message, in definition order, into all
 * 8 payload bytes (uncovered bits are 0). Each value is clamped to the limits
 * (maximum tested first) and the clamped value is written back into values[];
 * integers are rounded half away from zero and saturated to the field's range
 * (NaN gives the range minimum). Intel fields replace the bits they cover,
 * Motorola fields are ORed in. Freezes the table, also for an unknown ID.
 * kSuccess; kWarnMessageNotFound (payload and values untouched);
 * kErrNullArgument; kErrInvalidTable. */
CANXLATE_API int32_t CANXLATE_CALL convertChannelToFrame(MessageTableHandle table, uint32_t messageId, double* values,
                                                         uint8_t* payload);

/* As convertChannelToFrame, delivering the payload as two words in the layout
 * of convertFrameToChannelU32. */
CANXLATE_API int32_t CANXLATE_CALL convertChannelToFrameU32(MessageTableHandle table, uint32_t messageId,
                                                            double* values, uint32_t* words);

/* Adds a copy of channelName to the channel selection for the next
 * addChannelDefinitionFromFile, which then imports only the channels of those
 * names (exact, case-sensitive). The first name of a selection takes the
 * library's lock and keeps it until that import, so make the import on the
 * same thread; another thread's calls wait until then.
 * kSuccess; kErrNullArgument; kErrOutOfMemory. */
CANXLATE_API int32_t CANXLATE_CALL inputStringBufferAdd(const char* channelName);

/* Imports a ".dbc" or ".zcd" file (by the last four characters of its name,
 * case-sensitive) into a table that is not frozen: every channel of the file,
 * or of the selection, that addNewchannelDefinition accepts lands in the table
 * in file order; refused channels are left out without a report. Consumes the
 * selection on every path except kErrNullArgument and kErrInvalidTable, which
 * keep it for the next call. On an error nothing is added.
 * kSuccess; kErrNullArgument; kErrInvalidTable; kErrTableInUse;
 * kErrFileFormat (bad name, unreadable or unparsable file); kErrOutOfMemory
 * (channels added before memory ran out stay in the table). */
CANXLATE_API int32_t CANXLATE_CALL addChannelDefinitionFromFile(const char* fileName, MessageTableHandle table);

#ifdef __cplusplus
}
#endif

#endif /* CANXLATELIB_H */
