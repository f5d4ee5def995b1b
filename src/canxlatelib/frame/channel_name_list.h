// The process-wide list through which channel name copies pass on their way
// into the array handed to the host. Used only under the global lock, and
// empty between calls.
#pragma once

#include <list>

namespace canxlate {

using ChannelNameList = std::list<char*>;

// Null before load and after unload.
extern ChannelNameList* g_channelNameList;

}  // namespace canxlate
