// Windows calls the DLL entry point where ELF loaders run the library's
// constructor and destructor.
#if defined(_WIN32)
#  include <windows.h>

#  include "canxlatelib/frame/library_lifecycle.h"

// Process attach builds the process-wide objects and the lock; a failed attach
// has destroyed them again and refuses the load. Windows then calls process
// detach once more before it unloads, which finds nothing left to destroy.
// Thread attach and detach have nothing to do.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    switch (reason) {
        case DLL_PROCESS_ATTACH: return canxlate::attachProcess() ? TRUE : FALSE;
        case DLL_PROCESS_DETACH:
            // reserved is non-null when the process is exiting: its other
            // threads were stopped wherever they were, possibly inside the
            // lock or the heap, so nothing is freed and Windows takes the
            // memory back with the process. An unload by FreeLibrary destroys
            // everything.
            if (reserved == nullptr) canxlate::detachProcess();
            return TRUE;
        default: return TRUE;
    }
}
#endif
