// Frees KSLog's settings when the DLL is unloaded by FreeLibrary.  At process
// exit (reserved argument non-null) nothing is freed, since other DLLs may
// still log from their own detach notifications; the log file is only
// finished, so that the process leaves it as plain text.
#ifdef _WIN32
#include <windows.h>

#include "settings.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason != DLL_PROCESS_DETACH) return TRUE;
  if (reserved == nullptr) {
    kslog::ReleaseSettings();
  } else {
    kslog::FinishAtProcessExit();
  }
  return TRUE;
}
#endif
