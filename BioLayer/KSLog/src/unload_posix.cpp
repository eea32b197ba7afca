// Frees KSLog's settings when the library is unloaded (or the process ends),
// so that loading and unloading it leaves nothing behind.  Clients that log
// from their own exit handlers run before this: they depend on KSLog, so
// their destructors run first.
#ifndef _WIN32
#include "mapped_file.h"
#include "settings.h"

__attribute__((destructor)) static void KSLogUnload() {
  kslog::ReleaseSettings();  // gives the mapped extents back first
  kslog::StopGuardingMappings();
}
#endif
