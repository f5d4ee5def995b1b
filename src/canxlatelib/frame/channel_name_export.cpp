#include "canxlatelib/frame/channel_name_export.h"

#include <cstring>
#include <memory>

#include "canxlatelib.h"
#include "canxlatelib/frame/channel_name_list.h"
#include "canxlatelib/frame/global_lock.h"
#include "canxlatelib/frame/table_queries.h"

namespace canxlate {
namespace {

// Frees the name copies still in the list, after a failed allocation.
void discardNames(ChannelNameList& list) noexcept {
    for (char* name : list) delete[] name;
    list.clear();
}

}  // namespace

int32_t exportChannelNames(TableHandle handle, uint32_t messageId, uint32_t* count, char*** names) {
    if (count == nullptr || names == nullptr) return kErrNullArgument;
    MessageTable* table = nullptr;
    int32_t status = validateTableHandle(handle, &table);
    if (status != kSuccess) return status;

    GlobalLockGuard guard;
    // Looked up under the lock: the table may still be open, and another
    // thread may be adding to it.
    const MessageRecord* message = table->findMessage(messageId);
    if (message == nullptr) return kErrUnknownMessage;
    if (g_channelNameList == nullptr) return kErrOutOfMemory;
    ChannelNameList& list = *g_channelNameList;

    std::unique_ptr<char*[]> array;
    try {
        for (const auto& channel : message->channels) {
            auto copy = std::make_unique<char[]>(channel->name.size() + 1);
            std::memcpy(copy.get(), channel->name.c_str(), channel->name.size() + 1);
            list.push_back(copy.get());
            copy.release();
        }
        array = std::make_unique<char*[]>(list.size());
    } catch (...) {
        discardNames(list);
        throw;
    }

    uint32_t channelCount = 0;
    status = queryChannelCount(handle, messageId, &channelCount);
    if (status != kSuccess) {
        discardNames(list);
        return status;
    }
    for (uint32_t i = 0; i < channelCount; ++i) {
        array[i] = list.front();
        list.pop_front();
    }
    *names = array.release();
    *count = channelCount;
    return kSuccess;
}

int32_t releaseChannelNames(char** names, uint32_t count) noexcept {
    if (names == nullptr) return kErrNullArgument;
    for (uint32_t i = 0; i < count; ++i) {
        delete[] names[i];
        names[i] = nullptr;
    }
    delete[] names;
    return kSuccess;
}

}  // namespace canxlate
