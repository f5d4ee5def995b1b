// What loading and unloading the library builds and destroys. The platform's
// load entry (a library constructor, or the DLL entry point) calls these.
#pragma once

namespace canxlate {

// Builds the process-wide objects, then the global lock. False when the lock
// cannot be set up; everything built is destroyed again and the load fails.
bool attachProcess() noexcept;
// Deletes the lock first, then the process-wide objects in reverse order.
// Tables the host did not close are not released.
void detachProcess() noexcept;

}  // namespace canxlate
