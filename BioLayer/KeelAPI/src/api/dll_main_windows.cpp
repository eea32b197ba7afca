// Closes the store's database and frees its state when the DLL is unloaded
// by FreeLibrary.  At process exit (reserved argument non-null) nothing is
// done: other DLLs may still call the store from their own detach
// notifications, and every commit is already durable.
#ifdef _WIN32
#include <windows.h>

#include "engine/call_gate.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) keel::ReleaseStore();
  return TRUE;
}
#endif
