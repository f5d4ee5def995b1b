#include "canxlatelib/import/definition_file_import.h"

#include "canxlatelib.h"
#include "canxlatelib/convert/channel_definition_adder.h"
#include "canxlatelib/frame/global_lock.h"
#include "canxlatelib/frame/message_table.h"
#include "canxlatelib/import/channel_selection_list.h"

namespace canxlate {
namespace {

// Releases the pending selection when the import ends, however it ends.
struct SelectionRelease {
    ~SelectionRelease() { releaseChannelSelection(); }
};

// The import around one loader call: load(loader, channels, selection) reads
// the definition.
template <typename Load>
int32_t importWith(TableHandle handle, const Load& load) {
    MessageTable* table = nullptr;
    int32_t status = validateTableHandle(handle, &table);
    if (status != kSuccess) return status;

    GlobalLockGuard guard;
    // Declared after the guard, so the selection's hold is left first and the
    // import's own enter last.
    SelectionRelease releaseSelection;
    if (table->inUse()) return kErrTableInUse;

    static const ChannelSelection kNoSelection;
    ImportedChannelList channels;
    {
        tChannelDefinitionFileLoader loader;
        status = load(loader, channels, g_channelSelection != nullptr ? *g_channelSelection : kNoSelection);
    }
    if (status < 0) return status;

    // Channels of a message come one after another: the message makes room
    // for the rest of such a run once it holds the first of them.
    size_t runEnd = 0;
    bool roomMade = false;
    for (size_t i = 0; i < channels.size(); ++i) {
        const uint32_t messageId = channels[i]->messageId;
        if (i >= runEnd) {
            for (runEnd = i + 1; runEnd < channels.size() && channels[runEnd]->messageId == messageId;) ++runEnd;
            roomMade = runEnd - i == 1;
        }
        // A refused channel is simply not in the table; an accepted one moves
        // there, and a refused one is freed at once.
        addChannelDefinition(handle, channels[i]);
        channels[i].reset();
        if (!roomMade) roomMade = reserveChannels(*table, messageId, runEnd - i - 1);
    }
    return status;
}

}  // namespace

int32_t importDefinitionFile(const char* fileName, TableHandle handle) {
    if (fileName == nullptr) return kErrNullArgument;
    return importWith(
        handle, [fileName](tChannelDefinitionFileLoader& loader, ImportedChannelList& channels,
                           const ChannelSelection& selection) { return loader.load(channels, selection, fileName); });
}

int32_t importDefinitionStream(std::FILE* stream, DefinitionFormat format, TableHandle handle) {
    return importWith(handle, [stream, format](tChannelDefinitionFileLoader& loader, ImportedChannelList& channels,
                                               const ChannelSelection& selection) {
        return loader.load(channels, selection, format, stream);
    });
}

}  // namespace canxlate
