// The DLL's entry point, which runs under the loader lock.
//
// At process termination (reserved non-null) it touches nothing: the other
// threads are gone, perhaps while holding a lock of the store's, and the
// store keeps no state that outlives the process (every commit is durable).
//
// On FreeLibrary (reserved null) the unload handler releases the identity
// and the application object and frees the context: calls into the store
// library, which this library still holds loaded, that load nothing and
// wait only on the store's own lock, which no store call holds while it
// waits for the loader.  The store library itself is not unloaded here
// (FreeLibrary is forbidden under the loader lock): it stays loaded, its
// context freed, until the process ends.
#include <windows.h>

#include "StoreHandles.h"
#include "binding/ModuleTable.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason != DLL_PROCESS_DETACH || reserved != nullptr) return TRUE;
  dm::binding::KeepLibrariesLoaded();
  dm::RunUnloadHandler();
  return TRUE;
}
