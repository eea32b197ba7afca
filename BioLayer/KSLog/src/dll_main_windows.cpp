// Frees KSLog's settings when the DLL is unloaded by FreeLibrary.  At process
// exit (reserved argument non-null) nothing is freed: other DLLs may still
// log from their own detach notifications.
#ifdef _WIN32
#include <windows.h>

#include "settings.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) kslog::ReleaseSettings();
  return TRUE;
}
#endif
