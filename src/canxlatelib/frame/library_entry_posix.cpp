// On ELF platforms the loader runs these when the library is loaded and
// unloaded, where Windows calls the DLL entry point.
#if !defined(_WIN32)
#  include "canxlatelib/frame/library_lifecycle.h"

namespace {

// A constructor cannot fail the load; if the attach fails the process-wide
// objects stay null and every export refuses its handle.
__attribute__((constructor)) void onLibraryLoad() { canxlate::attachProcess(); }
__attribute__((destructor)) void onLibraryUnload() { canxlate::detachProcess(); }

}  // namespace
#endif
