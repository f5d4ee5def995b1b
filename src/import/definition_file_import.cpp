#include "import/definition_file_import.h"

#include "canxlatelib.h"
#include "convert/channel_definition_adder.h"
#include "frame/global_lock.h"
#include "frame/message_table.h"
#include "import/channel_selection_list.h"

namespace canxlate {
namespace {

// Releases the pending selection when the import ends, however it ends.
struct SelectionRelease {
    ~SelectionRelease() { releaseChannelSelection(); }
};

}  // namespace

int32_t importDefinitionFile(const char* fileName, TableHandle handle) {
    if (fileName == nullptr) return kErrNullArgument;
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
        status = loader.load(channels, g_channelSelection != nullptr ? *g_channelSelection : kNoSelection, fileName);
    }
    if (status < 0) return status;

    for (const auto& c : channels) {
        // A refused channel is simply not in the table.
        addChannelDefinition(handle, c->name.c_str(), c->unit.c_str(), c->startBit, c->bitCount, c->dataType,
                             c->byteOrder, c->factor, c->offset, c->minimum, c->maximum, c->messageId,
                             c->payloadSize);
    }
    return status;
}

}  // namespace canxlate
