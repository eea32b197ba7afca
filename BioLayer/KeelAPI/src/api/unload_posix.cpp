// Closes the store's database and frees its state when the library is
// unloaded (dlclose of its last reference) or the process ends, so that
// loading and unloading the store leaves nothing behind.  Clients that call
// the store from their own exit handlers and run after this get error
// statuses, never a crash.
#ifndef _WIN32
#include "engine/call_gate.h"

__attribute__((destructor)) static void KeelUnload() { keel::ReleaseStore(); }
#endif
