// The DLL's entry point: runs the unload handler when the DLL is unloaded or
// the process ends.
#include <windows.h>

#include "StoreHandles.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_DETACH) dm::RunUnloadHandler();
  return TRUE;
}
