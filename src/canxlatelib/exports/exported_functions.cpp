// The library's exported entry points: each is a thin step into the
// subsystems. No exception may cross into the host; the only ones the library
// raises are allocation failures, and they leave every table as it was.
#include <new>

#include "canxlatelib.h"
#include "canxlatelib/convert/channel_definition_adder.h"
#include "canxlatelib/convert/frame_decoder.h"
#include "canxlatelib/convert/frame_encoder.h"
#include "canxlatelib/frame/channel_name_export.h"
#include "canxlatelib/frame/table_lifecycle.h"
#include "canxlatelib/frame/table_queries.h"
#include "canxlatelib/import/channel_selection_list.h"
#include "canxlatelib/import/definition_file_import.h"

namespace {

template <typename Work>
int32_t withoutExceptions(Work&& work) noexcept {
    try {
        return work();
    } catch (...) {
        return kErrOutOfMemory;
    }
}

}  // namespace

extern "C" {

CANXLATE_API int32_t CANXLATE_CALL createMessageTable(MessageTableHandle* table) {
    const int32_t status = withoutExceptions([&] { return canxlate::createTable(table); });
    if (status == kErrOutOfMemory) *table = 0;
    return status;
}

CANXLATE_API int32_t CANXLATE_CALL closeMessageTable(MessageTableHandle table) { return canxlate::closeTable(table); }

CANXLATE_API int32_t CANXLATE_CALL getNumberOfMessageIDs(MessageTableHandle table, uint32_t* count) {
    return canxlate::queryMessageCount(table, count);
}

CANXLATE_API int32_t CANXLATE_CALL getMessageIDs(MessageTableHandle table, uint32_t* ids) {
    return canxlate::queryMessageIds(table, ids);
}

CANXLATE_API int32_t CANXLATE_CALL getMessageSize(MessageTableHandle table, uint32_t messageId, uint8_t* size) {
    return canxlate::queryMessageSize(table, messageId, size);
}

CANXLATE_API int32_t CANXLATE_CALL getNumberOfChannels(MessageTableHandle table, uint32_t messageId, uint32_t* count) {
    return canxlate::queryChannelCount(table, messageId, count);
}

CANXLATE_API int32_t CANXLATE_CALL getLargestNumberOfChannels(MessageTableHandle table, uint32_t* count) {
    return canxlate::queryLargestChannelCount(table, count);
}

CANXLATE_API int32_t CANXLATE_CALL xcvtGetChannelNames(MessageTableHandle table, uint32_t messageId, uint32_t* count,
                                                       char*** names) {
    return withoutExceptions([&] { return canxlate::exportChannelNames(table, messageId, count, names); });
}

CANXLATE_API int32_t CANXLATE_CALL xcvtDeleteArray(char** names, uint32_t count) {
    return canxlate::releaseChannelNames(names, count);
}

CANXLATE_API int32_t CANXLATE_CALL addNewchannelDefinition(MessageTableHandle table, const char* channelName,
                                                           const char* unit, uint32_t startBit, uint32_t bitCount,
                                                           uint32_t dataType, uint32_t byteOrder, double factor,
                                                           double offset, double minimum, double maximum,
                                                           uint32_t messageId, uint32_t payloadSize) {
    return withoutExceptions([&] {
        return canxlate::addChannelDefinition(table, channelName, unit, startBit, bitCount, dataType, byteOrder, factor,
                                              offset, minimum, maximum, messageId, payloadSize);
    });
}

CANXLATE_API int32_t CANXLATE_CALL convertFrameToChannel(MessageTableHandle table, uint32_t messageId,
                                                         const uint8_t* payload, double* values) {
    return canxlate::decodeFrame(table, messageId, payload, values);
}

CANXLATE_API int32_t CANXLATE_CALL convertFrameToChannelU32(MessageTableHandle table, uint32_t messageId,
                                                            const uint32_t* words, double* values) {
    return canxlate::decodeFrameWords(table, messageId, words, values);
}

CANXLATE_API int32_t CANXLATE_CALL convertChannelToFrame(MessageTableHandle table, uint32_t messageId, double* values,
                                                         uint8_t* payload) {
    return canxlate::encodeFrame(table, messageId, values, payload);
}

CANXLATE_API int32_t CANXLATE_CALL convertChannelToFrameU32(MessageTableHandle table, uint32_t messageId,
                                                            double* values, uint32_t* words) {
    return canxlate::encodeFrameWords(table, messageId, values, words);
}

CANXLATE_API int32_t CANXLATE_CALL inputStringBufferAdd(const char* channelName) {
    return withoutExceptions([&] { return canxlate::addSelectedChannelName(channelName); });
}

CANXLATE_API int32_t CANXLATE_CALL addChannelDefinitionFromFile(const char* fileName, MessageTableHandle table) {
    return withoutExceptions([&] { return canxlate::importDefinitionFile(fileName, table); });
}

}  // extern "C"
