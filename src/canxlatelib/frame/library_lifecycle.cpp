#include "canxlatelib/frame/library_lifecycle.h"

#include <new>

#include "canxlatelib/frame/channel_name_list.h"
#include "canxlatelib/frame/global_lock.h"
#include "canxlatelib/frame/table_registry.h"
#include "canxlatelib/import/channel_selection_list.h"

namespace canxlate {

ChannelNameList* g_channelNameList = nullptr;

namespace {

void destroyProcessObjects() noexcept {
    delete g_channelNameList;
    g_channelNameList = nullptr;
    delete g_channelSelection;
    g_channelSelection = nullptr;
    delete g_tableRegistry;
    g_tableRegistry = nullptr;
}

}  // namespace

bool attachProcess() noexcept {
    try {
        g_tableRegistry = new TableRegistry;
        g_channelSelection = new ChannelSelection;
        g_channelNameList = new ChannelNameList;
    } catch (const std::bad_alloc&) {
        destroyProcessObjects();
        return false;
    }
    StatusRecord record;
    if (!createGlobalLock(record)) {
        destroyGlobalLock();
        destroyProcessObjects();
        return false;
    }
    return true;
}

void detachProcess() noexcept {
    destroyGlobalLock();
    destroyProcessObjects();
}

}  // namespace canxlate
