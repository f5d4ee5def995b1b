#include "canxlatelib/import/channel_selection_list.h"

#include <string>

#include "canxlatelib.h"
#include "canxlatelib/frame/global_lock.h"
#include "canxlatelib/frame/reserve_one_more.h"

namespace canxlate {

ChannelSelection* g_channelSelection = nullptr;

namespace {

// Whether the list's own enter succeeded: only then is there a hold to leave.
bool g_selectionHoldsLock = false;

}  // namespace

int32_t addSelectedChannelName(const char* name) {
    if (name == nullptr) return kErrNullArgument;
    std::string copy(name);

    // Waits while another thread's selection is pending; re-enters when the
    // calling thread owns it.
    StatusRecord record;
    const bool held = enterLock(g_globalLock, record);
    if (g_channelSelection == nullptr) {
        if (held) leaveLock(g_globalLock);
        return kErrOutOfMemory;
    }
    ChannelSelection& list = *g_channelSelection;
    try {
        reserveOneMore(list);
    } catch (...) {
        if (held) leaveLock(g_globalLock);
        throw;
    }
    if (list.empty()) {
        g_selectionHoldsLock = held;  // this enter is the list's hold
    } else if (held) {
        leaveLock(g_globalLock);  // the list holds the lock already
    }
    list.push_back(std::move(copy));
    return kSuccess;
}

void releaseChannelSelection() noexcept {
    if (g_channelSelection == nullptr || g_channelSelection->empty()) return;
    g_channelSelection->clear();
    if (g_selectionHoldsLock) {
        g_selectionHoldsLock = false;
        leaveLock(g_globalLock);
    }
}

}  // namespace canxlate
