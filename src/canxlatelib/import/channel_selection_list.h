// The process-wide channel selection: names a host picks, one call at a time,
// for the next file import, which consumes them. While the list holds names,
// the thread that added the first one holds the global lock on the list's
// behalf, so the import that consumes them must run on that thread.
#pragma once

#include <cstdint>

#include "shared/definitions/channel_definition_file_loader.h"

namespace canxlate {

// Null before load and after unload.
extern ChannelSelection* g_channelSelection;

// Appends a copy of name. The first name of a selection takes the global
// lock and keeps it; a thread that does not own a pending selection waits
// for the lock like every guarded call. Throws std::bad_alloc, and then
// changes nothing.
int32_t addSelectedChannelName(const char* name);

// Empties a filled list and leaves the lock held on its behalf; nothing on an
// empty list.
void releaseChannelSelection() noexcept;

}  // namespace canxlate
