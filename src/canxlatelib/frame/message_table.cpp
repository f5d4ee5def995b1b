#include "canxlatelib/frame/message_table.h"

#include "canxlatelib/frame/global_lock.h"

namespace canxlate {

void MessageTable::markInUse() noexcept {
    if (inUse()) return;
    GlobalLockGuard guard;
    // Set even when the enter failed: freezing must not depend on the lock.
    inUse_.store(true, std::memory_order_release);
}

}  // namespace canxlate
