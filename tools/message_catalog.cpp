#include "message_catalog.h"

namespace canxlate::cli {
namespace {

// The name array xcvtGetChannelNames hands out, released on every path.
struct ChannelNameArray {
    char** names = nullptr;
    uint32_t count = 0;
    ChannelNameArray() = default;
    ChannelNameArray(const ChannelNameArray&) = delete;
    ChannelNameArray& operator=(const ChannelNameArray&) = delete;
    ~ChannelNameArray() {
        if (names != nullptr) xcvtDeleteArray(names, count);
    }
};

}  // namespace

MessageCatalog::~MessageCatalog() {
    if (table_ != 0) closeMessageTable(table_);
}

CatalogStatus MessageCatalog::load(const std::string& path, const std::vector<std::string>& selection) {
    if (int32_t status = createMessageTable(&table_); status != kSuccess) return {status, "createMessageTable"};
    for (const std::string& name : selection) {
        // The selection holds the library's lock until the import below, on
        // this same thread.
        if (int32_t status = inputStringBufferAdd(name.c_str()); status != kSuccess)
            return {status, "inputStringBufferAdd"};
    }
    if (int32_t status = addChannelDefinitionFromFile(path.c_str(), table_); status < 0)
        return {status, "addChannelDefinitionFromFile"};
    return listMessages();
}

CatalogStatus MessageCatalog::listMessages() {
    uint32_t count = 0;
    if (int32_t status = getNumberOfMessageIDs(table_, &count); status != kSuccess)
        return {status, "getNumberOfMessageIDs"};
    std::vector<uint32_t> ids(count);
    if (count > 0) {
        if (int32_t status = getMessageIDs(table_, ids.data()); status != kSuccess) return {status, "getMessageIDs"};
    }
    messages_.reserve(count);
    for (uint32_t id : ids) {
        MessageInfo& message = messages_.emplace_back();
        message.id = id;
        if (int32_t status = getMessageSize(table_, id, &message.payloadSize); status != kSuccess)
            return {status, "getMessageSize"};
        ChannelNameArray names;
        if (int32_t status = xcvtGetChannelNames(table_, id, &names.count, &names.names); status != kSuccess)
            return {status, "xcvtGetChannelNames"};
        message.channelNames.assign(names.names, names.names + names.count);
    }
    if (int32_t status = getLargestNumberOfChannels(table_, &largestChannelCount_); status != kSuccess)
        return {status, "getLargestNumberOfChannels"};
    lookup_ = MessageLookup(ids);
    return {};
}

}  // namespace canxlate::cli
