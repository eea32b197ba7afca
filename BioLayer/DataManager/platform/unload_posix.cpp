// Runs the unload handler when the shared object is unloaded (dlclose of its
// last reference) or when the process exits, as the Windows loader does with
// a DLL's detach notification.  Part of the shared library only: programs
// that link the core directly decide themselves when to unload.
#include "StoreHandles.h"

__attribute__((destructor)) static void DataManagerUnload() { dm::RunUnloadHandler(); }
