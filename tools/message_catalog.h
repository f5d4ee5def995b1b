// A database file loaded into a library message table, with what the program
// needs to know about each message gathered once through the public queries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "canxlatelib.h"
#include "message_lookup.h"

namespace canxlate::cli {

struct MessageInfo {
    uint32_t id = 0;
    uint8_t payloadSize = 0;
    std::vector<std::string> channelNames;  // definition order
};

// Where loading failed, for the error message.
struct CatalogStatus {
    int32_t status = kSuccess;
    const char* call = "";  // the library function that returned status
};

class MessageCatalog {
public:
    MessageCatalog() = default;
    MessageCatalog(const MessageCatalog&) = delete;
    MessageCatalog& operator=(const MessageCatalog&) = delete;
    ~MessageCatalog();

    // Imports path (".dbc" or ".zcd"), restricted to the selected channel
    // names unless the selection is empty, then lists the table's messages.
    // Call once.
    CatalogStatus load(const std::string& path, const std::vector<std::string>& selection);

    MessageTableHandle table() const { return table_; }
    // In the table's own order (getMessageIDs).
    const std::vector<MessageInfo>& messages() const { return messages_; }
    // Index into messages(), or MessageLookup::kNotFound.
    int32_t find(uint32_t id) const { return lookup_.find(id); }
    uint32_t largestChannelCount() const { return largestChannelCount_; }

private:
    CatalogStatus listMessages();

    MessageTableHandle table_ = 0;
    std::vector<MessageInfo> messages_;
    MessageLookup lookup_;
    uint32_t largestChannelCount_ = 0;
};

}  // namespace canxlate::cli
